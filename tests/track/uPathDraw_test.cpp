// Track rendering: pixel probes and raster comparisons.
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

#include "common/TestSupport.h"
#include "track/uPath.h"

namespace k2 {
namespace {

constexpr QRgb Blue = 0xFFE0E0FF;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb FrameOnWhite = 0xFF0000FF;  // white XOR (255, 255, 0)

class PathDrawTest : public ::testing::Test {
 protected:
  PathDrawTest()
      : Design(558, 558, QImage::Format_ARGB32), Overview(140, 140, QImage::Format_ARGB32) {
    Design.fill(Blue);
    Overview.fill(White);
    Track = std::make_unique<TPath>(&Design, 3000, &Overview, 6000);
  }

  void Line(float x0, float y0, float x1, float y1) {
    Track->Elements.push_back(std::make_unique<TLineData>(MakePointF(x0, y0), MakePointF(x1, y1)));
  }
  void Arc(TPointF start, float cx, float cy, int sweep) {
    QString error;
    auto a = BuildArc(start, cx, cy, sweep, 400, error);
    ASSERT_TRUE(a) << error.toStdString();
    Track->Elements.push_back(std::move(a));
  }
  // Pixel of the design view at a world point.
  QRgb DesignAt(float x, float y) const {
    const TPoint p = RoundPoint(Track->DrawTransform->WorldToView(MakePointF(x, y)));
    return Design.pixel(p.X, p.Y);
  }

  test::TTempDir Dir;  // no settings file: PathWidth 300, LineWidth 30
  QImage Design;
  QImage Overview;
  std::unique_ptr<TPath> Track;
};

bool AllPixels(const QImage& img, QRgb c) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) != c) return false;
  return true;
}

TEST_F(PathDrawTest, EmptyTrackDrawsPlainViewsAndTheAxisGlyphOnlyWhenAsked) {
  Design.fill(0xFF123456);
  Overview.fill(0xFF123456);
  Track->DrawDesignView(false);
  Track->DrawOverview(false);
  EXPECT_TRUE(AllPixels(Design, Blue));
  EXPECT_TRUE(AllPixels(Overview, White));

  Track->DrawDesignView(true);
  // The glyph stays in the lower left corner: shafts from (15, 543) 50 px right and up.
  int red = 0;
  for (int y = 0; y < 558; ++y)
    for (int x = 0; x < 558; ++x) {
      const QRgb c = Design.pixel(x, y);
      if (c == Blue) continue;
      EXPECT_TRUE(x < 100 && y > 470) << x << "," << y;
      if (c == 0xFFFF0000) ++red;
    }
  EXPECT_EQ(Design.pixel(40, 543), 0xFFFF0000u);  // on the x shaft
  EXPECT_EQ(Design.pixel(15, 520), 0xFFFF0000u);  // on the y shaft
  EXPECT_GT(red, 200);
}

TEST_F(PathDrawTest, NullRastersAreSkipped) {
  TPath track(nullptr, 3000, nullptr, 6000);
  track.Elements.push_back(std::make_unique<TLineData>(MakePointF(0, 0), MakePointF(100, 0)));
  track.DrawDesignView(true);
  track.DrawOverview(true);
  track.MarkOverviewPoint(MakePointF(0, 0), 3);
  EXPECT_EQ(track.DrawTransform->ViewWidth, DefaultDesignViewSize);
}

// Across a horizontal line through the view centre: light blue, white band of
// PathWidth, black line of LineWidth in its middle, white, light blue.
TEST_F(PathDrawTest, BandColoursAcrossALineScaleWithTheZoom) {
  struct Case {
    int ZoomSteps;
  } cases[] = {{0}, {4}};
  for (const Case& c : cases) {
    for (int i = 0; i < c.ZoomSteps; ++i) Track->DrawTransform->IncreaseZoomFactor();
    Track->Elements.clear();
    Line(-1000, 0, 1000, 0);
    Track->DrawDesignView(false);
    const double mmPerPx = Track->DrawTransform->Scale * Track->DrawTransform->ZoomFactor;
    int white = 0, black = 0;
    for (int y = 0; y < 558; ++y) {
      const QRgb p = Design.pixel(279, y);
      white += p == White;
      black += p == Black;
    }
    SCOPED_TRACE(c.ZoomSteps);
    // Solid pixels only; the anti-aliased edges are at most one pixel on each side.
    EXPECT_NEAR(white, (300 - 30) / mmPerPx, 4);
    EXPECT_NEAR(black, 30 / mmPerPx, 2);
    EXPECT_EQ(Design.pixel(279, 279), Black);
    EXPECT_EQ(DesignAt(0, 80), White);
    EXPECT_EQ(DesignAt(0, -80), White);
    EXPECT_EQ(DesignAt(0, 200), Blue);
    EXPECT_EQ(DesignAt(0, -200), Blue);
    Track->DrawTransform->ResetZoom();
  }
}

// Three elements, the middle one far above the view: the first and the third are
// two figures, each with a flat end inside the view, drawn exactly as two separate
// open strokes of the two pens.
TEST_F(PathDrawTest, ElementOutsideTheViewSplitsTheFigures) {
  Line(0, 0, 0, 2500);
  Line(0, 2500, 2000, 2500);  // box 2320..2680 mm high: outside the view
  Line(2000, 2500, 2000, 0);
  Track->DrawTransform->SetOffset(MakePointF(-1000, 0));  // view x -500..2500, y -1500..1500
  ASSERT_FALSE(Track->DrawTransform->LineVisible(MakePointF(0, 2500), MakePointF(2000, 2500), 300));
  Track->DrawDesignView(false);

  // Flat ends: nothing beyond the two end points, the band right before them.
  EXPECT_EQ(DesignAt(0, -20), Blue);
  EXPECT_EQ(DesignAt(0, 20), Black);
  EXPECT_EQ(DesignAt(100, 20), White);
  EXPECT_EQ(DesignAt(2000, -20), Blue);
  EXPECT_EQ(DesignAt(1900, 20), White);

  QImage expected(558, 558, QImage::Format_ARGB32);
  expected.fill(Blue);
  {
    const TTransformRect& t = *Track->DrawTransform;
    auto at = [&](float x, float y) {
      const TPointF p = t.WorldToView(MakePointF(x, y));
      return QPointF(p.X, p.Y);
    };
    QPainterPath figures;
    figures.moveTo(at(0, 0));
    figures.lineTo(at(0, 2500));
    figures.moveTo(at(2000, 2500));
    figures.lineTo(at(2000, 0));
    QPainter p(&expected);
    p.translate(0.5, 0.5);  // view coordinates are pixel centres
    p.setRenderHint(QPainter::Antialiasing);
    for (auto [colour, mm] : {std::pair<QRgb, float>{White, 300}, {Black, 30}}) {
      QPen pen(QColor::fromRgba(colour), t.ToViewLength(mm), Qt::SolidLine, Qt::FlatCap,
               Qt::MiterJoin);
      pen.setMiterLimit(10);
      p.setPen(pen);
      p.drawPath(figures);
    }
  }
  EXPECT_EQ(Design, expected);
}

// A triangle closed back to the origin: its corners inside the figure are mitred,
// but start and finish are two flat ends, so no mitre tip appears at the origin.
TEST_F(PathDrawTest, TrackClosedAtTheOriginHasNoCornerThere) {
  Line(0, 0, 1000, 0);
  Line(1000, 0, 500, 800);
  Track->Elements.push_back(BuildCloseLine(MakePointF(500, 800)));
  Track->DrawTransform->SetOffset(MakePointF(-500, -400));
  Track->DrawDesignView(false);
  // The outer mitre tip of the corner at (1000, 0) lies beyond it to the lower right.
  EXPECT_EQ(DesignAt(1150, -100), White);
  // The mirrored spot at the origin stays background.
  EXPECT_EQ(DesignAt(-150, -100), Blue);
}

TEST_F(PathDrawTest, ArcSweepDirection) {
  struct Case {
    int Sweep;
    TPointF On, Off;  // world points on and off the swept part
  } cases[] = {
      // centre (0, 500), start (0, 0) at -90 degrees; -135 is left of the start.
      {-90, {-353.55f, 146.45f}, {353.55f, 146.45f}},
      {90, {353.55f, 146.45f}, {-353.55f, 146.45f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Sweep);
    Track->Elements.clear();
    Arc(TPointF{}, 0, 500, c.Sweep);
    Track->DrawDesignView(false);
    Track->DrawOverview(false);
    EXPECT_EQ(DesignAt(c.On.X, c.On.Y), Black);
    EXPECT_EQ(DesignAt(c.Off.X, c.Off.Y), Blue);
    const TPointF on = Track->ViewTransform->WorldToView(c.On);
    const TPointF off = Track->ViewTransform->WorldToView(c.Off);
    EXPECT_LT(qGray(Overview.pixel(RoundPoint(on).X, RoundPoint(on).Y)), 160);
    EXPECT_EQ(Overview.pixel(RoundPoint(off).X, RoundPoint(off).Y), White);
  }
}

// Crafted files: an arc that cannot be drawn is left out, the rest of the track is
// drawn; sweeps of many turns draw what their last turn and remainder draw.
TEST_F(PathDrawTest, CraftedArcsDrawSafelyAndInBoundedWork) {
  Arc(TPointF{}, 0, 500, 90);
  auto& arc = static_cast<TArcData&>(*Track->Elements.back());
  arc.Center.X = std::numeric_limits<float>::quiet_NaN();
  Line(0, 0, 1000, 0);
  Track->DrawDesignView(false);
  Track->DrawOverview(false);
  EXPECT_EQ(DesignAt(500, 0), Black);

  Track->Elements.clear();
  Arc(TPointF{}, 0, 500, 90);
  static_cast<TArcData&>(*Track->Elements.back()).SweepAngle = 2147483647;
  Track->DrawDesignView(false);
  Track->DrawOverview(false);
  const QImage manyTurns = Design, manyTurnsOverview = Overview;
  static_cast<TArcData&>(*Track->Elements.back()).SweepAngle = 360 + 2147483647 % 360;
  Track->DrawDesignView(false);
  Track->DrawOverview(false);
  EXPECT_EQ(manyTurns, Design);
  EXPECT_EQ(manyTurnsOverview, Overview);
}

TEST_F(PathDrawTest, OverviewStrokesOnePixelLinesForEveryElement) {
  Line(0, 0, 2500, 0);  // beyond the design view's right edge
  Track->DrawOverview(false);
  const TPoint mid = RoundPoint(Track->ViewTransform->WorldToView(MakePointF(2000, 0)));
  EXPECT_LT(qGray(Overview.pixel(mid.X, mid.Y)), 100);
  EXPECT_EQ(Overview.pixel(mid.X, mid.Y - 1), White);
  EXPECT_EQ(Overview.pixel(mid.X, mid.Y + 1), White);
  EXPECT_EQ(Overview.pixel(mid.X, mid.Y - 2), White);
  EXPECT_EQ(Overview.pixel(mid.X, mid.Y + 2), White);
}

TEST_F(PathDrawTest, FrameOutlinesTheDesignViewByExclusiveOr) {
  Track->DrawOverview(false);
  Track->DrawOverviewFrame();
  // 3000 mm of 6000 mm over 140 px: corners (35, 35) and (105, 105).
  for (QPoint p : {QPoint(35, 35), QPoint(105, 35), QPoint(105, 105), QPoint(35, 105),
                   QPoint(70, 35), QPoint(35, 70)})
    EXPECT_EQ(Overview.pixel(p), FrameOnWhite) << p.x() << "," << p.y();
  for (QPoint p : {QPoint(34, 35), QPoint(106, 105), QPoint(70, 70), QPoint(36, 36)})
    EXPECT_EQ(Overview.pixel(p), White) << p.x() << "," << p.y();
}

// Drawing an overlay twice restores the raster bit for bit, over the track, partly
// off the raster and at its edges.
TEST_F(PathDrawTest, OverlaysDrawnTwiceRestoreTheRaster) {
  Line(0, 0, 1000, 0);
  Arc(MakePointF(1000, 0), 1000, 500, 180);
  Track->DrawOverview(false);
  struct Case {
    TPointF DesignCentre;
    TPointF Mark;
    int R;
  } cases[] = {
      {{0, 0}, {1000, 0}, 3}, {{2900, 2900}, {3000, 3000}, 5}, {{-500, 200}, {-2990, 0}, 1}};
  for (const Case& c : cases) {
    Track->DrawTransform->SetOffset(MakePointF(-c.DesignCentre.X, -c.DesignCentre.Y));
    const QImage before = Overview.copy();
    Track->DrawOverviewFrame();
    EXPECT_NE(Overview, before);
    Track->DrawOverviewFrame();
    EXPECT_EQ(Overview, before);
    Track->MarkOverviewPoint(c.Mark, c.R);
    EXPECT_NE(Overview, before);
    Track->MarkOverviewPoint(c.Mark, c.R);
    EXPECT_EQ(Overview, before);
  }
}

TEST_F(PathDrawTest, MarkInvertsItsInsideAndOutlinesIt) {
  Track->DrawOverview(false);
  Track->MarkOverviewPoint(TPointF{}, 3);    // box (67, 68) .. (73, 74), right/bottom excluded
  EXPECT_EQ(Overview.pixel(69, 71), Black);  // inside: white inverted
  EXPECT_EQ(Overview.pixel(70, 70), Black);
  EXPECT_EQ(Overview.pixel(67, 71), FrameOnWhite);  // left edge of the outline
  EXPECT_EQ(Overview.pixel(72, 71), FrameOnWhite);  // right edge
  EXPECT_EQ(Overview.pixel(70, 68), FrameOnWhite);  // top
  EXPECT_EQ(Overview.pixel(70, 73), FrameOnWhite);  // bottom
  for (QPoint p : {QPoint(66, 71), QPoint(73, 71), QPoint(70, 67), QPoint(70, 74), QPoint(67, 68)})
    EXPECT_EQ(Overview.pixel(p), White) << p.x() << "," << p.y();
}

}  // namespace
}  // namespace k2
