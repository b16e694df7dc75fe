#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "geometry/uTransformRect.h"

namespace k2 {
namespace {

// The track page's design view: 558 px spanning 3000 mm at zoom 1.
TTransformRect DesignView() { return TTransformRect(558, 558, 3000.0f / 558); }

TEST(TransformRect, NewDesignViewShowsThreeMetresAroundTheOrigin) {
  const TTransformRect t = DesignView();
  EXPECT_EQ(t.ZoomFactor, 1.0f);
  EXPECT_NEAR(t.VisibleRect.Left, -1500, 1e-3);
  EXPECT_NEAR(t.VisibleRect.Top, 1500, 1e-3);
  EXPECT_NEAR(t.VisibleRect.Right, 1500, 1e-3);
  EXPECT_NEAR(t.VisibleRect.Bottom, -1500, 1e-3);
  const TPointF o = t.WorldToView({0, 0});
  EXPECT_FLOAT_EQ(o.X, 279);
  EXPECT_FLOAT_EQ(o.Y, 279);
  // World y points up, pixel y down.
  const TPointF up = t.WorldToView({0, 100});
  EXPECT_FLOAT_EQ(up.X, 279);
  EXPECT_NEAR(up.Y, 279 - 100 / t.Scale, 1e-4);
}

TEST(TransformRect, ViewToWorldInvertsWorldToView) {
  TTransformRect t = DesignView();
  t.SetOffset({-250.5f, 730});
  t.IncreaseZoomFactor();
  for (const TPoint px : {TPoint{0, 0}, TPoint{279, 279}, TPoint{557, 13}, TPoint{-40, 600}}) {
    const TPointF back = t.WorldToView(t.ViewToWorld(px));
    EXPECT_NEAR(back.X, px.X, 1e-3);
    EXPECT_NEAR(back.Y, px.Y, 1e-3);
  }
}

TEST(TransformRect, ZoomKeepsTheCentreAndScalesTheVisibleWidth) {
  TTransformRect t = DesignView();
  t.SetOffset({100, -200});
  for (int i = 0; i < 4; ++i) t.IncreaseZoomFactor();
  EXPECT_NEAR(t.ZoomFactor, 1.6, 1e-5);
  EXPECT_NEAR(t.VisibleRect.Right - t.VisibleRect.Left, 1.6 * 3000, 0.01);
  EXPECT_NEAR((t.VisibleRect.Right + t.VisibleRect.Left) / 2, -100, 1e-3);
  EXPECT_NEAR((t.VisibleRect.Top + t.VisibleRect.Bottom) / 2, 200, 1e-3);
  EXPECT_NEAR(t.ToViewLength(1600), 1600 / (t.Scale * 1.6), 1e-3);
  t.DecreaseZoomFactor();
  EXPECT_NEAR(t.ZoomFactor, 1.45, 1e-5);
  t.ResetZoom();
  EXPECT_EQ(t.ZoomFactor, 1.0f);
  EXPECT_NEAR(t.VisibleRect.Right - t.VisibleRect.Left, 3000, 1e-3);
  EXPECT_EQ(t.Offset.X, 100);
  EXPECT_EQ(t.Offset.Y, -200);
}

TEST(TransformRect, PanningMakesThePictureFollowTheMouse) {
  TTransformRect t = DesignView();
  const TPointF p{300, 400};
  const TPointF before = t.WorldToView(p);
  // Mouse moved 10 px right and 6 px down: dx = previous - current.
  t.PanByPixels(-10, -6);
  const TPointF after = t.WorldToView(p);
  EXPECT_NEAR(after.X - before.X, 10, 1e-3);
  EXPECT_NEAR(after.Y - before.Y, 6, 1e-3);
}

struct TFitCase {
  const char* Name;
  TRectF Rect;
  float Scale;  // expected mm per pixel in a 140 x 140 view
};
void PrintTo(const TFitCase& c, std::ostream* os) { *os << c.Name; }

class FitRectTest : public ::testing::TestWithParam<TFitCase> {};

TEST_P(FitRectTest, CentresOnTheRectAtAWholeScale) {
  const TFitCase& c = GetParam();
  TTransformRect t(140, 140, 6000.0f / 140);
  t.IncreaseZoomFactor();  // FitRect leaves the zoom alone
  t.FitRect(c.Rect);
  EXPECT_EQ(t.Scale, c.Scale);
  EXPECT_NEAR(t.ZoomFactor, 1.15, 1e-6);
  EXPECT_FLOAT_EQ(t.Offset.X, -(c.Rect.Left + c.Rect.Right) / 2);
  EXPECT_FLOAT_EQ(t.Offset.Y, -(c.Rect.Top + c.Rect.Bottom) / 2);
  // VisibleRect follows the new scale.
  EXPECT_NEAR(t.VisibleRect.Right - t.VisibleRect.Left, 140 * c.Scale * 1.15, 1e-2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitRectTest,
    ::testing::Values(
        TFitCase{"WideRect", MakeRectF(-300, 600, 6000, -400), 45},          // 6300 / 140 = 45
        TFitCase{"TallRectWins", MakeRectF(0, 7000, 1000, 0), 50},           // 7000 / 140
        TFitCase{"HalfRoundsToEven", MakeRectF(0, 10, 350, 0), 2},           // 2.5 -> 2
        TFitCase{"HalfRoundsUpToEven", MakeRectF(0, 10, 490, 0), 4},         // 3.5 -> 4
        TFitCase{"TinyRectKeepsOneMmPerPixel", MakeRectF(-5, 5, 5, -5), 1},  // round(0.07)
        TFitCase{"EmptyRectKeepsOneMmPerPixel", MakeRectF(0, 0, 0, 0), 1}),
    test::TCaseName());

TEST(TransformRect, FittedTinyRectStillConvertsFinitely) {
  TTransformRect t(140, 140, 6000.0f / 140);
  t.FitRect(MakeRectF(0, 0, 0, 0));
  const TPointF p = t.WorldToView({10, 10});
  EXPECT_FLOAT_EQ(p.X, 80);
  EXPECT_FLOAT_EQ(p.Y, 60);
}

TEST(TransformRect, ContainsPointIncludesTheEdges) {
  const TTransformRect t = DesignView();
  const TRectF& v = t.VisibleRect;
  EXPECT_TRUE(t.ContainsPoint({v.Left, v.Top}));
  EXPECT_TRUE(t.ContainsPoint({v.Right, v.Bottom}));
  EXPECT_FALSE(t.ContainsPoint({v.Right + 0.5f, 0}));
  EXPECT_FALSE(t.ContainsPoint({0, v.Bottom - 0.5f}));
}

TEST(TransformRect, LineCountsAsVisibleWithinItsMargin) {
  const TTransformRect t = DesignView();  // shows x up to 1500
  // Margin 300 grows the line's box by 180 mm on every side.
  EXPECT_TRUE(t.LineVisible({1679, 0}, {2500, 0}, 300));
  EXPECT_FALSE(t.LineVisible({1681, 0}, {2500, 0}, 300));
  EXPECT_FALSE(t.LineVisible({1679, 0}, {2500, 0}, 1));
  EXPECT_TRUE(t.LineVisible({2500, -100}, {-2500, 100}, 1));  // crosses the view
}

TEST(TransformRect, ArcVisibilityUsesTheWholeCircle) {
  const TTransformRect t = DesignView();  // shows y up to 1500
  // Only the circle's lowest part (plus margin) reaches into the view; the swept part
  // does not matter.
  EXPECT_TRUE(t.ArcVisible({0, 3000}, 1400, 300));   // box bottom 1420
  EXPECT_FALSE(t.ArcVisible({0, 3000}, 1200, 300));  // box bottom 1620
}

}  // namespace
}  // namespace k2
