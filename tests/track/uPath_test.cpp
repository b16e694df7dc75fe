#include <QDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "track/uPath.h"

namespace k2 {
namespace {

using test::Bytes;
using test::LE32;
using test::LEFloat;

std::unique_ptr<TPath> NewTrack() { return std::make_unique<TPath>(nullptr, 3000, nullptr, 6000); }

std::unique_ptr<TArcData> Arc(TPointF start, float cx, float cy, int32_t sweep) {
  QString error;
  auto arc = BuildArc(start, cx, cy, sweep, 0, error);
  EXPECT_TRUE(arc) << error.toStdString();
  return arc;
}

// A line (0,0)-(1000,0) followed by an arc about (1000,500) sweeping 90 degrees.
void AddLineAndArc(TPath& t) {
  t.AddLine(std::make_unique<TLineData>(TPointF{0, 0}, TPointF{1000, 0}));
  t.AddArc(Arc({1000, 0}, 1000, 500, 90));
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, 4) == 0; }

// ---- model ------------------------------------------------------------------

TEST(PathModel, NewTrackIsEmptyWithTheBuiltInDefaults) {
  test::TTempDir dir;
  const auto t = NewTrack();
  EXPECT_TRUE(t->Elements.empty());
  EXPECT_EQ(t->Bounds.Left, 0);
  EXPECT_EQ(t->Bounds.Top, 0);
  EXPECT_EQ(t->Bounds.Right, 0);
  EXPECT_EQ(t->Bounds.Bottom, 0);
  EXPECT_EQ(t->LastEndPoint().X, 0);
  EXPECT_EQ(t->LastEndPoint().Y, 0);
  EXPECT_EQ(t->PathWidth, 300);
  EXPECT_EQ(t->LineWidth, 30);
  EXPECT_EQ(t->Miu, 0.01f);
  EXPECT_FLOAT_EQ(t->DrawTransform->Scale, 3000.0f / DefaultDesignViewSize);
  EXPECT_FLOAT_EQ(t->ViewTransform->Scale, 6000.0f / DefaultOverviewSize);
}

TEST(PathModel, NewTrackReadsItsDefaultsFromTheWorkingFolder) {
  test::TTempDir dir;
  dir.WriteSettings(QStringLiteral("[DefaultPathParam]\nPathWidth=250\nLineWidth=abc\nMiu=0.25\n"));
  const auto t = NewTrack();
  EXPECT_EQ(t->PathWidth, 250);
  EXPECT_EQ(t->LineWidth, 30);  // not a number: the default
  EXPECT_EQ(t->Miu, 0.25f);
}

TEST(PathModel, ArcOnALineEndsWhereTheSweepSays) {
  test::TTempDir dir;
  auto t = NewTrack();
  AddLineAndArc(*t);
  const auto& arc = static_cast<const TArcData&>(*t->Elements[1]);
  EXPECT_EQ(arc.Radius, 500);
  EXPECT_EQ(arc.StartAngle, -90);
  EXPECT_NEAR(arc.EndPoint.X, 1500, 1e-3);
  EXPECT_NEAR(arc.EndPoint.Y, 500, 1e-3);
  // Start copied bit for bit from the previous end.
  EXPECT_TRUE(SameBits(arc.StartPoint.X, t->Elements[0]->EndPoint.X));
  const auto cw = Arc({1000, 0}, 1000, 500, -90);
  EXPECT_NEAR(cw->EndPoint.X, 500, 1e-3);
  EXPECT_NEAR(cw->EndPoint.Y, 500, 1e-3);
}

TEST(PathModel, BoundsCoverTheWholeCircleOfAnArc) {
  test::TTempDir dir;
  auto t = NewTrack();
  t->AddLine(std::make_unique<TLineData>(TPointF{0, 0}, TPointF{0, 1500}));
  t->AddArc(Arc({0, 1500}, 0, 2000, 90));  // a quarter of the circle only
  EXPECT_EQ(t->Bounds.Left, -500);
  EXPECT_EQ(t->Bounds.Right, 500);
  EXPECT_EQ(t->Bounds.Top, 2500);
  EXPECT_EQ(t->Bounds.Bottom, 0);
}

TEST(PathModel, ClosingReturnsToTheOrigin) {
  test::TTempDir dir;
  auto t = NewTrack();
  AddLineAndArc(*t);
  EXPECT_FALSE(t->IsClosed());
  t->AddLine(BuildCloseLine(t->LastEndPoint()));
  EXPECT_TRUE(t->IsClosed());
  EXPECT_EQ(t->LastEndPoint().X, 0);
  EXPECT_EQ(t->LastEndPoint().Y, 0);
  EXPECT_TRUE(SameBits(t->Elements[2]->StartPoint.Y, t->Elements[1]->EndPoint.Y));
}

TEST(PathModel, DeletingFromAnIndexRebuildsTheBounds) {
  test::TTempDir dir;
  auto t = NewTrack();
  AddLineAndArc(*t);
  t->AddLine(std::make_unique<TLineData>(t->LastEndPoint(), TPointF{1500, 4000}));
  ASSERT_EQ(t->Bounds.Top, 4000);
  const TPointF end = t->DeleteFrom(2);
  ASSERT_EQ(t->Elements.size(), 2u);
  EXPECT_EQ(end.X, t->Elements[1]->EndPoint.X);
  EXPECT_EQ(t->Bounds.Top, 1000);  // circle of the arc: 500 + 500
  EXPECT_EQ(t->Bounds.Right, 1500);
}

TEST(PathModel, DeletingEverythingKeepsTheOverview) {
  test::TTempDir dir;
  auto t = NewTrack();
  AddLineAndArc(*t);
  t->AddLine(std::make_unique<TLineData>(t->LastEndPoint(), TPointF{9000, 500}));
  const TPointF offset = t->ViewTransform->Offset;
  const float scale = t->ViewTransform->Scale;
  const TPointF end = t->DeleteFrom(0);
  EXPECT_TRUE(t->Elements.empty());
  EXPECT_EQ(end.X, 0);
  EXPECT_EQ(end.Y, 0);
  EXPECT_EQ(t->Bounds.Left, 0);
  EXPECT_EQ(t->Bounds.Top, 0);
  EXPECT_EQ(t->Bounds.Right, 0);
  EXPECT_EQ(t->Bounds.Bottom, 0);
  EXPECT_EQ(t->ViewTransform->Offset.X, offset.X);
  EXPECT_EQ(t->ViewTransform->Offset.Y, offset.Y);
  EXPECT_EQ(t->ViewTransform->Scale, scale);
}

TEST(PathModel, OverviewGrowsWithTheTrackAndNeverShrinks) {
  test::TTempDir dir;
  auto t = NewTrack();
  float previous = 0;
  const TPointF ends[] = {{1000, 0}, {8000, 0}, {8000, 9000}, {-12000, 9000}};
  for (const TPointF e : ends) {
    t->AddLine(std::make_unique<TLineData>(t->LastEndPoint(), e));
    const TTransformRect& v = *t->ViewTransform;
    EXPECT_TRUE(RectInside(t->Bounds, v.VisibleRect));
    EXPECT_EQ(v.Scale, std::round(v.Scale));  // whole mm per pixel
    EXPECT_GE(v.Scale, previous);
    previous = v.Scale;
  }
  // 20000 mm of track plus 700 mm beyond the overflowing side, at 140 px.
  EXPECT_GE(previous * DefaultOverviewSize, 20000);
  t->DeleteFrom(1);
  EXPECT_EQ(t->ViewTransform->Scale, previous);
}

TEST(PathModel, ClampKeepsTheDesignViewInsideTheOverview) {
  test::TTempDir dir;
  auto t = NewTrack();                         // overview +-3000 mm, design view +-1500 mm
  t->DrawTransform->SetOffset({-5000, 2000});  // centre at (5000, -2000)
  t->ClampDrawView();
  EXPECT_NEAR(-t->DrawTransform->Offset.X, 1500, 1e-3);
  EXPECT_NEAR(-t->DrawTransform->Offset.Y, -1500, 1e-3);
  EXPECT_TRUE(RectInside(t->DrawTransform->VisibleRect, t->ViewTransform->VisibleRect));

  // Zoomed out beyond the overview: the left and bottom edges win.
  for (int i = 0; i < 10; ++i) t->DrawTransform->IncreaseZoomFactor();
  t->ClampDrawView();
  EXPECT_NEAR(t->DrawTransform->VisibleRect.Left, t->ViewTransform->VisibleRect.Left, 1e-2);
  EXPECT_NEAR(t->DrawTransform->VisibleRect.Bottom, t->ViewTransform->VisibleRect.Bottom, 1e-2);
}

TEST(PathModel, AddingAnElementPullsAStrayDesignViewBack) {
  test::TTempDir dir;
  auto t = NewTrack();
  t->DrawTransform->SetOffset({20000, 0});
  t->AddLine(std::make_unique<TLineData>(TPointF{0, 0}, TPointF{500, 0}));
  EXPECT_TRUE(RectInside(t->DrawTransform->VisibleRect, t->ViewTransform->VisibleRect));
}

// ---- building rules -----------------------------------------------------------

struct TRuleCase {
  const char* Name;
  bool IsArc;
  TPointF Start;
  float X, Y;  // line end, or arc centre
  int32_t Sweep;
  int32_t MinPathR;
  const char* Message;  // null when accepted
  TPointF End;          // expected end point when accepted
};
void PrintTo(const TRuleCase& c, std::ostream* os) { *os << c.Name; }

class BuildingRuleTest : public ::testing::TestWithParam<TRuleCase> {};

TEST_P(BuildingRuleTest, AcceptsOrRejectsWithTheRulesMessage) {
  const TRuleCase& c = GetParam();
  QString error;
  std::unique_ptr<TPathElement> e;
  if (c.IsArc)
    e = BuildArc(c.Start, c.X, c.Y, c.Sweep, c.MinPathR, error);
  else
    e = BuildLine(c.Start, c.X, c.Y, error);
  if (c.Message) {
    EXPECT_FALSE(e);
    EXPECT_EQ(error, QString::fromUtf8(c.Message));
    return;
  }
  ASSERT_TRUE(e) << error.toStdString();
  EXPECT_TRUE(SameBits(e->StartPoint.X, c.Start.X) && SameBits(e->StartPoint.Y, c.Start.Y));
  EXPECT_NEAR(e->EndPoint.X, c.End.X, 1e-3);
  EXPECT_NEAR(e->EndPoint.Y, c.End.Y, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BuildingRuleTest,
    ::testing::Values(
        TRuleCase{"LineToTheStartIsRejected",
                  false,
                  {0, 0},
                  0.0099f,
                  -0.0099f,
                  0,
                  0,
                  MsgEndEqualsStart,
                  {}},
        TRuleCase{
            "LineOneHundredthOffIsAccepted", false, {0, 0}, 0.01f, 0, 0, 0, nullptr, {0.01f, 0}},
        TRuleCase{"LineAtAnyAngle", false, {1000, 0}, -500, 700, 0, 0, nullptr, {-500, 700}},
        TRuleCase{"CentreOnStartIsCheckedBeforeTheSweep",
                  true,
                  {100, 100},
                  100,
                  100,
                  0,
                  400,
                  MsgCenterEqualsStart,
                  {}},
        TRuleCase{"NoSweep", true, {0, 0}, 0, 100, 0, 400, MsgNoSweep, {}},
        TRuleCase{"SweepIsCheckedBeforeTheRadius", true, {0, 0}, 0, 10, 0, 400, MsgNoSweep, {}},
        TRuleCase{
            "RadiusJustBelowTheRule", true, {0, 0}, 0, 399.9f, 90, 400, MsgRadiusTooSmall, {}},
        TRuleCase{"RadiusEqualToTheRule", true, {0, 0}, 0, 400, 180, 400, nullptr, {0, 800}},
        TRuleCase{"Counterclockwise", true, {1000, 0}, 1000, 500, 90, 400, nullptr, {1500, 500}},
        TRuleCase{"Clockwise", true, {1000, 0}, 1000, 500, -90, 400, nullptr, {500, 500}},
        TRuleCase{"FullCircle", true, {1000, 0}, 1000, 500, 360, 400, nullptr, {1000, 0}}),
    test::TCaseName());

// ---- distances ------------------------------------------------------------------

struct TDistanceCase {
  const char* Name;
  bool IsArc;
  TPointF Start;
  TPointF Center;  // arcs only
  int32_t Sweep;   // arcs only
  TPointF End;     // lines only
  TPointF P;
  float Expected;
};
void PrintTo(const TDistanceCase& c, std::ostream* os) { *os << c.Name; }

class DistanceTest : public ::testing::TestWithParam<TDistanceCase> {};

TEST_P(DistanceTest, MatchesTheExpectedDistance) {
  const TDistanceCase& c = GetParam();
  float d;
  if (c.IsArc) {
    TArcData arc;
    arc.StartPoint = c.Start;
    arc.Center = c.Center;
    arc.Radius = PointDistance(c.Start, c.Center);
    arc.StartAngle = DirectionAngle(c.Center, c.Start);
    arc.SweepAngle = c.Sweep;
    const double theta = (c.Sweep + static_cast<double>(arc.StartAngle)) * 0.017453292;
    arc.EndPoint = {static_cast<float>(c.Center.X + arc.Radius * std::cos(theta)),
                    static_cast<float>(c.Center.Y + arc.Radius * std::sin(theta))};
    d = ArcDistance(arc, c.P);
    EXPECT_FLOAT_EQ(ElementDistance(arc, c.P), d);
  } else {
    const TLineData line(c.Start, c.End);
    d = LineDistance(line, c.P);
    EXPECT_FLOAT_EQ(ElementDistance(line, c.P), d);
  }
  EXPECT_FALSE(std::isnan(d));
  EXPECT_GE(d, 0);
  EXPECT_NEAR(d, c.Expected, 0.01);
}

// The arc cases use an arc starting at (1000, 0) about (1000, 500): radius 500, start
// angle -90; sweeping 90 it ends at (1500, 500), sweeping -90 at (500, 500).
INSTANTIATE_TEST_SUITE_P(
    Cases, DistanceTest,
    ::testing::Values(
        TDistanceCase{"LineAbove", false, {0, 0}, {}, 0, {1000, 0}, {500, 300}, 300},
        TDistanceCase{"LineBelow", false, {0, 0}, {}, 0, {1000, 0}, {500, -300}, 300},
        TDistanceCase{"LineBeyondTheEnd", false, {0, 0}, {}, 0, {1000, 0}, {1300, 400}, 500},
        TDistanceCase{"LineBeforeTheStart", false, {0, 0}, {}, 0, {1000, 0}, {-300, 400}, 500},
        TDistanceCase{"LineOnItsEnd", false, {0, 0}, {}, 0, {1000, 0}, {1000, 0}, 0},
        TDistanceCase{"SlantedLine", false, {0, 0}, {}, 0, {1000, 1000}, {1000, 0}, 707.107f},
        TDistanceCase{"ArcFromItsCentre", true, {1000, 0}, {1000, 500}, 90, {}, {1000, 500}, 500},
        TDistanceCase{
            "ClockwiseArcFromItsCentre", true, {1000, 0}, {1000, 500}, -90, {}, {1000, 500}, 500},
        TDistanceCase{"ArcInsideTheSweep",
                      true,
                      {1000, 0},
                      {1000, 500},
                      90,
                      {},
                      {1424.264f, 75.736f},
                      100},  // 600 mm from the centre at -45 degrees
        TDistanceCase{"ArcOnTheUnsweptSide",
                      true,
                      {1000, 0},
                      {1000, 500},
                      90,
                      {},
                      {1000, 1100},
                      781.025f},  // nearer end point (1500, 500)
        TDistanceCase{"ClockwiseArcInsideTheSweep",
                      true,
                      {1000, 0},
                      {1000, 500},
                      -90,
                      {},
                      {575.736f, 75.736f},
                      100},  // at -135 degrees
        TDistanceCase{"ClockwiseArcOnTheUnsweptSide",
                      true,
                      {1000, 0},
                      {1000, 500},
                      -90,
                      {},
                      {1424.264f, 75.736f},
                      430.971f},  // nearer: the start (1000, 0)
        TDistanceCase{
            "FullCircleOutside", true, {1000, 0}, {1000, 500}, 360, {}, {1000, 1100}, 100},
        TDistanceCase{"FullCircleFarAway", true, {1000, 0}, {1000, 500}, 360, {}, {0, 0}, 618.034f},
        TDistanceCase{
            "ZeroSweepMeasuresToTheStart", true, {1000, 0}, {1000, 500}, 0, {}, {1000, 300}, 300}),
    test::TCaseName());

TEST(Distance, ZeroSweepFromAFileMeasuresToTheStartOnly) {
  // Such an arc can only come from a file written elsewhere; its end point may be
  // anything.
  TArcData arc;
  arc.StartPoint = {1000, 0};
  arc.EndPoint = {1000, 290};
  arc.Center = {1000, 500};
  arc.Radius = 500;
  arc.StartAngle = -90;
  arc.SweepAngle = 0;
  for (const TPointF p : {TPointF{1000, 300}, TPointF{1200, 500}, TPointF{1000, 500}})
    EXPECT_FLOAT_EQ(ArcDistance(arc, p), PointDistance(arc.StartPoint, p));
}

// ---- file -----------------------------------------------------------------------

QByteArray Head() { return LE32(8) + QByteArray("PathFile") + LE32(200); }

TEST(PathFile, EmptyTrackIsFortyEightBytes) {
  test::TTempDir dir;
  auto t = NewTrack();
  t->FileName = dir.Path(QStringLiteral("empty.kpf"));
  ASSERT_TRUE(t->SaveToFile());
  const QByteArray expected = Head() + LE32(300) + LE32(30) + Bytes({0x0A, 0xD7, 0x23, 0x3C}) +
                              QByteArray(16, '\0') + LE32(0);
  EXPECT_EQ(test::ReadFile(t->FileName), expected);
  EXPECT_EQ(expected.size(), 48);
}

TEST(PathFile, LineAndArcAreSeventeenAndThirtySevenBytes) {
  test::TTempDir dir;
  auto t = NewTrack();
  AddLineAndArc(*t);
  t->FileName = dir.Path(QStringLiteral("two.kpf"));
  ASSERT_TRUE(t->SaveToFile());
  const QByteArray b = test::ReadFile(t->FileName);
  ASSERT_EQ(b.size(), 102);
  const auto& arc = static_cast<const TArcData&>(*t->Elements[1]);
  EXPECT_EQ(b.mid(28, 16), LEFloat(t->Bounds.Left) + LEFloat(t->Bounds.Top) +
                               LEFloat(t->Bounds.Right) + LEFloat(t->Bounds.Bottom));
  EXPECT_EQ(b.mid(44, 4), LE32(2));
  EXPECT_EQ(b.mid(48, 17), Bytes({0}) + LEFloat(0) + LEFloat(0) + LEFloat(1000) + LEFloat(0));
  EXPECT_EQ(b.mid(65, 37), Bytes({1}) + LEFloat(1000) + LEFloat(0) + LEFloat(arc.EndPoint.X) +
                               LEFloat(arc.EndPoint.Y) + LEFloat(1000) + LEFloat(500) +
                               LEFloat(500) + LEFloat(-90) + LE32(90));
}

TEST(PathFile, LoadRestoresEverythingBitForBit) {
  test::TTempDir dir;
  auto t = NewTrack();
  AddLineAndArc(*t);
  t->AddLine(BuildCloseLine(t->LastEndPoint()));
  t->PathWidth = 250;
  t->LineWidth = 25;
  t->Miu = 0.3f;
  t->FileName = dir.Path(QStringLiteral("a.kpf"));
  ASSERT_TRUE(t->SaveToFile());

  auto u = NewTrack();
  u->FileName = t->FileName;
  ASSERT_TRUE(u->LoadFromFile());
  EXPECT_EQ(u->PathWidth, 250);
  EXPECT_EQ(u->LineWidth, 25);
  EXPECT_TRUE(SameBits(u->Miu, 0.3f));
  EXPECT_TRUE(SameBits(u->Bounds.Top, t->Bounds.Top) && SameBits(u->Bounds.Right, t->Bounds.Right));
  ASSERT_EQ(u->Elements.size(), 3u);
  const auto& a = static_cast<const TArcData&>(*u->Elements[1]);
  const auto& b = static_cast<const TArcData&>(*t->Elements[1]);
  EXPECT_EQ(a.Kind, 1);
  EXPECT_TRUE(SameBits(a.EndPoint.X, b.EndPoint.X) && SameBits(a.EndPoint.Y, b.EndPoint.Y));
  EXPECT_EQ(a.SweepAngle, 90);
  // Saving the loaded track gives the same bytes.
  u->FileName = dir.Path(QStringLiteral("b.kpf"));
  ASSERT_TRUE(u->SaveToFile());
  EXPECT_EQ(test::ReadFile(u->FileName), test::ReadFile(t->FileName));
}

TEST(PathFile, UnknownKindIsSkippedAsOneByte) {
  test::TTempDir dir;
  const QByteArray line = Bytes({0}) + LEFloat(0) + LEFloat(0) + LEFloat(10) + LEFloat(0);
  const QByteArray line2 = Bytes({0}) + LEFloat(10) + LEFloat(0) + LEFloat(10) + LEFloat(20);
  const QString path = dir.Path(QStringLiteral("k.kpf"));
  test::WriteFile(path, Head() + LE32(300) + LE32(30) + LEFloat(0.01f) + QByteArray(16, '\0') +
                            LE32(3) + line + Bytes({2}) + line2);
  auto t = NewTrack();
  t->FileName = path;
  ASSERT_TRUE(t->LoadFromFile());
  ASSERT_EQ(t->Elements.size(), 2u);
  EXPECT_EQ(t->Elements[1]->EndPoint.Y, 20);
}

TEST(PathFile, CountOfZeroOrLessReadsNoElement) {
  test::TTempDir dir;
  const QString path = dir.Path(QStringLiteral("n.kpf"));
  test::WriteFile(path,
                  Head() + LE32(300) + LE32(30) + LEFloat(0.01f) + QByteArray(16, '\0') + LE32(-5));
  auto t = NewTrack();
  t->FileName = path;
  EXPECT_TRUE(t->LoadFromFile());
  EXPECT_TRUE(t->Elements.empty());
}

struct TRefusalCase {
  const char* Name;
  QByteArray (*Bytes)(const QByteArray& good);  // a mutation of a valid 102-byte file
};
void PrintTo(const TRefusalCase& c, std::ostream* os) { *os << c.Name; }

class PathFileRefusalTest : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(PathFileRefusalTest, RefusesAndLeavesTheTrackAsItWas) {
  test::TTempDir dir;
  auto src = NewTrack();
  AddLineAndArc(*src);
  src->FileName = dir.Path(QStringLiteral("good.kpf"));
  ASSERT_TRUE(src->SaveToFile());
  const QString path = dir.Path(QStringLiteral("bad.kpf"));
  test::WriteFile(path, GetParam().Bytes(test::ReadFile(src->FileName)));

  auto t = NewTrack();
  t->PathWidth = 123;
  t->Miu = 0.5f;
  t->FileName = path;
  EXPECT_FALSE(t->LoadFromFile());
  EXPECT_TRUE(t->Elements.empty());
  EXPECT_EQ(t->PathWidth, 123);
  EXPECT_EQ(t->Miu, 0.5f);
  EXPECT_EQ(t->Bounds.Right, 0);
}

QByteArray Patched(QByteArray b, int offset, const QByteArray& with) {
  b.replace(offset, with.size(), with);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathFileRefusalTest,
    ::testing::Values(
        TRefusalCase{"TagLength21", [](const QByteArray& b) { return Patched(b, 0, LE32(21)); }},
        TRefusalCase{"TagLengthZero", [](const QByteArray& b) { return Patched(b, 0, LE32(0)); }},
        TRefusalCase{"TagLengthNegative",
                     [](const QByteArray& b) { return Patched(b, 0, LE32(-8)); }},
        TRefusalCase{"LowerCaseTag",
                     [](const QByteArray& b) { return Patched(b, 4, QByteArray("pathfile")); }},
        TRefusalCase{
            "OtherTag",
            [](const QByteArray& b) { return LE32(7) + QByteArray("CarFile") + b.mid(12); }},
        TRefusalCase{"Version199", [](const QByteArray& b) { return Patched(b, 12, LE32(199)); }},
        TRefusalCase{"EmptyFile", [](const QByteArray&) { return QByteArray(); }},
        TRefusalCase{"CutInTheHead", [](const QByteArray& b) { return b.left(10); }},
        TRefusalCase{"CutInTheParameters", [](const QByteArray& b) { return b.left(30); }},
        TRefusalCase{"CutBeforeTheCount", [](const QByteArray& b) { return b.left(44); }},
        TRefusalCase{"CutInTheLine", [](const QByteArray& b) { return b.left(60); }},
        TRefusalCase{"CutInTheArc", [](const QByteArray& b) { return b.left(101); }},
        TRefusalCase{"CountCannotFit",
                     [](const QByteArray& b) { return Patched(b, 44, LE32(0x7FFFFFFF)); }},
        TRefusalCase{"CountOneTooMany",
                     [](const QByteArray& b) { return Patched(b, 44, LE32(3)); }}),
    test::TCaseName());

TEST(PathFile, MissingFileIsRefused) {
  test::TTempDir dir;
  auto t = NewTrack();
  t->FileName = dir.Path(QStringLiteral("none.kpf"));
  EXPECT_FALSE(t->LoadFromFile());
}

TEST(PathFile, SaveReplacesTheFileAndLeavesNoTemporaryBehind) {
  test::TTempDir dir;
  const QString path = dir.Path(QStringLiteral("t.kpf"));
  test::WriteFile(path, QByteArray(500, 'x'));
  auto t = NewTrack();
  t->FileName = path;
  ASSERT_TRUE(t->SaveToFile());
  EXPECT_EQ(test::ReadFile(path).size(), 48);
  EXPECT_EQ(QDir(dir.Dir()).entryList(QDir::Files), QStringList{QStringLiteral("t.kpf")});
}

TEST(PathFile, SaveIntoAMissingFolderFails) {
  test::TTempDir dir;
  auto t = NewTrack();
  t->FileName = dir.Path(QStringLiteral("no/such/folder/t.kpf"));
  EXPECT_FALSE(t->SaveToFile());
  t->FileName.clear();
  EXPECT_FALSE(t->SaveToFile());
}

}  // namespace
}  // namespace k2
