// The run view's cached overview and the trail's per-view maps.  The cache must never
// show another picture than drawing afresh would; the trail's pixels are approximate
// by design, so its tests prove properties: the picture depends only on the records
// and the index shown, never on what was drawn before, and nothing is drawn for
// segments outside the view or without a position.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "car/uCar.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"
#include "simulation/uSimuSampling.h"
#include "simulation/uSimuTrail.h"
#include "track/uPath.h"

namespace k2 {
namespace {

using test::ArcAround;
using test::LineTo;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// Appends a record of the car standing at (x, y).
void AddAt(TRecords& records, float x, float y) {
  TRecordData r;
  r.PosX = x;
  r.PosY = y;
  records.Add(r);
}

// A track as the engines hold it: drawn into the run page's main view and overview.
std::unique_ptr<TPath> TrackOn(QImage& draw, QImage& view,
                               const std::vector<test::TElementSpec>& spec) {
  auto built = test::MakeTrack(spec);
  auto track = std::make_unique<TPath>(&draw, RunMainSpan, &view, RunOverviewSpan);
  track->Elements = std::move(built->Elements);
  track->Bounds = built->Bounds;
  return track;
}

// Two tracks with the same bounds, so that the overview shows both through the same
// transform: a square and its diagonals.
const std::vector<test::TElementSpec> Square = {LineTo(4000, 0), LineTo(4000, 4000),
                                                LineTo(0, 4000), LineTo(0, 0)};
const std::vector<test::TElementSpec> Diagonals = {LineTo(4000, 4000), LineTo(4000, 0),
                                                   LineTo(0, 4000), LineTo(0, 0)};
const std::vector<test::TElementSpec> Round = {LineTo(2000, 0), ArcAround(2000, 2000, 180),
                                               LineTo(0, 4000), ArcAround(0, 2000, 180)};

// The rasters, track, car and run view of a run page.
struct TRig {
  explicit TRig(const std::vector<test::TElementSpec>& spec) : Track(TrackOn(Draw, View, spec)) {}
  QImage Draw = MakeViewRaster(SimuMainViewSize);
  QImage View = MakeViewRaster(RunOverviewSize);
  std::unique_ptr<TPath> Track;
  TCar Car{&Draw, RunMainSpan};
  TRunView Views{&Draw, &View, nullptr, nullptr, SimuSensorsSize};
  TRecords Records;

  // A frame with the car at `pos` (the main view follows it, as the engines move it).
  void Frame(TPath& track, TPointF pos) {
    track.DrawTransform->SetOffset(MakePointF(-pos.X, -pos.Y));
    Views.DrawFrame(track, Car, pos, Records, Records.Count() - 1, {}, nullptr);
  }
};

// What a fresh run view shows in its first frame at `pos`.
QImage FreshOverview(const std::vector<test::TElementSpec>& spec, TPointF pos,
                     const TRectF* bounds = nullptr) {
  TRig fresh(spec);
  if (bounds) fresh.Track->Bounds = *bounds;
  fresh.Frame(*fresh.Track, pos);
  return fresh.View.copy();
}

class RunViewTest : public ::testing::Test {
 protected:
  test::TTempDir Dir;
};

const TPointF Positions[] = {{0, 0}, {1500, 200}, {3999, 4000}, {-300, 2500}, {1500, 200}};

// Frame after frame the overview's track comes from the cache; the position mark
// must follow the car and leave nothing behind.  A record list of one entry draws no
// trail.
TEST_F(RunViewTest, TheCachedOverviewIsTheFreshFirstFrame) {
  TRig rig(Round);
  for (int records : {0, 1}) {
    if (records) rig.Records.Add(TRecordData{});
    for (TPointF pos : Positions) {
      rig.Frame(*rig.Track, pos);
      ASSERT_EQ(rig.View, FreshOverview(Round, pos)) << pos.X << ", " << pos.Y;
    }
  }
}

// After the still picture of another track, or after clearing the views, the next
// frame shows the track it is given, also when the overview's transform is the same.
TEST_F(RunViewTest, AfterAStillPictureOrClearingTheOverviewIsDrawnAfresh) {
  TRig rig(Square);
  auto other = TrackOn(rig.Draw, rig.View, Diagonals);
  rig.Frame(*rig.Track, Positions[1]);
  ASSERT_EQ(rig.View, FreshOverview(Square, Positions[1]));

  rig.Views.DrawStill(other.get(), &rig.Car, Positions[2], {});
  rig.Frame(*other, Positions[2]);
  EXPECT_EQ(rig.View, FreshOverview(Diagonals, Positions[2]));
  rig.Frame(*other, Positions[3]);
  EXPECT_EQ(rig.View, FreshOverview(Diagonals, Positions[3]));

  rig.Views.Clear(true);
  rig.Frame(*rig.Track, Positions[0]);
  EXPECT_EQ(rig.View, FreshOverview(Square, Positions[0]));
  rig.Views.DrawStill(nullptr, nullptr, Positions[0], {});
  rig.Frame(*rig.Track, Positions[1]);
  EXPECT_EQ(rig.View, FreshOverview(Square, Positions[1]));
}

// When the track's bounds move or grow, the overview is fitted anew: the cache must
// not serve the picture of the old transform.  (Bounds of the same size keep the
// scale; bounds beyond every side of the old view are fitted whatever it was, so a
// fresh run view fits them alike.)
TEST_F(RunViewTest, ANewOverviewTransformRedrawsIt) {
  TRig rig(Round);
  const TRectF original = rig.Track->Bounds;
  rig.Frame(*rig.Track, Positions[1]);
  for (TPointF shift : {TPointF{1000, 0}, TPointF{0, -700}, TPointF{-40, 40}}) {
    rig.Track->Bounds = original;
    rig.Track->Bounds.Left += shift.X, rig.Track->Bounds.Right += shift.X;
    rig.Track->Bounds.Top += shift.Y, rig.Track->Bounds.Bottom += shift.Y;
    rig.Frame(*rig.Track, Positions[1]);
    EXPECT_EQ(rig.View, FreshOverview(Round, Positions[1], &rig.Track->Bounds))
        << shift.X << ", " << shift.Y;
  }
  for (float grow : {3000.0f, 9000.0f, 20000.0f}) {
    rig.Track->Bounds = original;
    rig.Track->Bounds.Right += grow;
    rig.Track->Bounds.Bottom -= grow / 2;
    rig.Frame(*rig.Track, Positions[1]);
    EXPECT_EQ(rig.View, FreshOverview(Round, Positions[1], &rig.Track->Bounds)) << grow;
  }
}

// ---- the trail ------------------------------------------------------------------

// Both views of a track after drawing the track around `pos` and the trail of records
// 0..last over it.
struct TPicture {
  QImage Design, Overview;
  bool operator==(const TPicture& o) const { return Design == o.Design && Overview == o.Overview; }
};

TPicture Paint(TPath& track, TTrail& trail, const TRecords& records, int32_t last, TPointF pos) {
  track.DrawTransform->SetOffset(MakePointF(-pos.X, -pos.Y));
  DrawTrackViews(track, pos);
  trail.Draw(track, records, last);
  return {track.DrawImage->copy(), track.ViewImage->copy()};
}

// What a trail that never drew before shows.
TPicture PaintFresh(TPath& track, const TRecords& records, int32_t last, TPointF pos) {
  TTrail fresh;
  return Paint(track, fresh, records, last, pos);
}

// The track views without any trail.
TPicture PaintBase(TPath& track, TPointF pos) {
  TRecords none;
  return PaintFresh(track, none, -1, pos);
}

// A run of `count` records `step` mm apart eastwards, winding 3 m either side: at
// 20 mm a step, 4000 records cover 80 m, far more map tiles than a view keeps, so
// going back rebuilds dropped ones.
void AddWinding(TRecords& records, int32_t count, double step = 20) {
  for (int32_t i = records.Count(); i < count; ++i) {
    const double x = step * i;
    AddAt(records, static_cast<float>(x), static_cast<float>(3000 * std::sin(x / 2500)));
  }
}

// A track whose overview holds the whole run.
const std::vector<test::TElementSpec> LongTrack = {LineTo(80000, -4000), LineTo(80000, 4000),
                                                   LineTo(0, 4000), LineTo(0, 0)};

class TrailTest : public ::testing::Test {
 protected:
  test::TTempDir Dir;
  QImage Draw = MakeViewRaster(SimuMainViewSize);
  QImage View = MakeViewRaster(RunOverviewSize);
};

// Forward to the end, back to the start and forward again (as a replay steps): every
// picture is the one a fresh trail draws for that index.
TEST_F(TrailTest, ThePictureDependsOnlyOnTheIndexNotOnTheHistory) {
  auto track = TrackOn(Draw, View, LongTrack);
  TRecords records;
  AddWinding(records, 4000);
  TTrail trail;
  std::vector<int32_t> script;
  for (int32_t i = 50; i < 4000; i += 100) script.push_back(i);
  for (int32_t i : {3999, 2000, 500, 2, 1, 0, 501, 1500, 3999, 3000}) script.push_back(i);
  for (int32_t last : script) {
    SCOPED_TRACE("records 0.." + std::to_string(last));
    const TPointF pos = records.Position(last);
    const TPicture shown = Paint(*track, trail, records, last, pos);
    ASSERT_TRUE(shown == PaintFresh(*track, records, last, pos));
  }
}

// While a run goes on, records are added between frames; each frame is the one a
// fresh trail draws from the records so far.  The car moves less than a view between
// frames, so that new segments also go into map tiles built before; steps nearly as
// long as a cell of the record grid cut across the tiles' corners.
struct TRunCase {
  const char* Name;
  double Step;  // mm between records
  int32_t Records, FrameEvery;
};
void PrintTo(const TRunCase& c, std::ostream* os) { *os << c.Name; }

class GrowingTrailTest : public TrailTest, public ::testing::WithParamInterface<TRunCase> {};

TEST_P(GrowingTrailTest, EachFrameShowsWhatAFreshTrailShows) {
  const TRunCase& c = GetParam();
  auto track = TrackOn(Draw, View, LongTrack);
  TRecords records;
  TTrail trail;
  for (int32_t count = 1; count <= c.Records; count += count < 20 ? 1 : c.FrameEvery) {
    AddWinding(records, count, c.Step);
    SCOPED_TRACE(std::to_string(count) + " records");
    const TPointF pos = records.Position(count - 1);
    const TPicture shown = Paint(*track, trail, records, count - 1, pos);
    ASSERT_TRUE(shown == PaintFresh(*track, records, count - 1, pos));
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, GrowingTrailTest,
                         ::testing::Values(TRunCase{"ShortSteps", 20, 2500, 29},
                                           TRunCase{"StepsNearlyACell", 470, 170, 2}),
                         test::TCaseName());

// The trail shows in translucent red along a straight stretch at y = 300 mm through
// the design view (dashed: most of its pixels) and the overview, whether it is made
// of many short segments, of segments about a cell of the record grid long, or of
// one segment far longer than the view.  A run far away comes first (cut off by a
// record without a position), so that the grid has many cells to look through.
struct TStretchCase {
  const char* Name;
  float From, To, Step;  // x of the records, mm
};
void PrintTo(const TStretchCase& c, std::ostream* os) { *os << c.Name; }

class TrailStretchTest : public TrailTest, public ::testing::WithParamInterface<TStretchCase> {};

TEST_P(TrailStretchTest, AStraightStretchIsDrawnReddish) {
  const TStretchCase& c = GetParam();
  auto track = TrackOn(Draw, View, {LineTo(0, -5000), LineTo(3000, -5000)});
  TRecords records;
  for (int i = 0; i < 3000; ++i)
    AddAt(records, 100000.0f + 300 * (i % 60), 100000.0f + 300 * (i / 60));
  AddAt(records, NaN, NaN);
  for (float x = c.From; x <= c.To; x += c.Step) AddAt(records, x, 300);
  TTrail trail;
  const TPointF pos{0, 0};
  const TPicture base = PaintBase(*track, pos);
  const TPicture shown = Paint(*track, trail, records, records.Count() - 1, pos);
  const auto countAlong = [](const QImage& before, const QImage& after, const TTransformRect& t) {
    const TPointF a = t.WorldToView(MakePointF(-700, 300)), b = t.WorldToView(MakePointF(700, 300));
    const int y = static_cast<int>(std::lround(a.Y));
    int changed = 0, all = 0;
    for (int x = static_cast<int>(std::ceil(a.X)); x <= static_cast<int>(std::floor(b.X));
         ++x, ++all) {
      const QRgb p = after.pixel(x, y);
      if (p == before.pixel(x, y)) continue;
      ++changed;
      EXPECT_TRUE(qRed(p) > qGreen(p) && qRed(p) > qBlue(p)) << x << ": " << std::hex << p;
    }
    return std::pair<int, int>(changed, all);
  };
  const auto design = countAlong(base.Design, shown.Design, *track->DrawTransform);
  EXPECT_GT(design.first, design.second / 2) << design.first << " of " << design.second;
  const auto overview = countAlong(base.Overview, shown.Overview, *track->ViewTransform);
  EXPECT_GE(overview.first, overview.second - 1) << overview.first << " of " << overview.second;
  EXPECT_GT(overview.second, 0);
}

INSTANTIATE_TEST_SUITE_P(Stretches, TrailStretchTest,
                         ::testing::Values(TStretchCase{"ShortSegments", -800, 800, 40},
                                           TStretchCase{"SegmentsNearlyACellLong", -980, 980, 490},
                                           TStretchCase{"OneLongSegment", -5000, 5000, 10000},
                                           TStretchCase{"SegmentsLongerThanACell", -9000, 9000,
                                                        1500}),
                         test::TCaseName());

// Segments far outside both views leave them as the track alone draws them.
TEST_F(TrailTest, SegmentsOutsideTheViewsLeaveThemUntouched) {
  auto track = TrackOn(Draw, View, Square);
  TRecords records;
  for (int i = 0; i < 200; ++i) AddAt(records, 100000.0f + 50 * i, -70000.0f + 30 * (i % 13));
  TTrail trail;
  for (TPointF pos : {TPointF{0, 0}, TPointF{2000, 2000}})
    EXPECT_TRUE(Paint(*track, trail, records, records.Count() - 1, pos) == PaintBase(*track, pos));
}

// A cleared record list shows none of its old trail, whether it is then drawn with
// fewer than two records or filled again.
TEST_F(TrailTest, AClearedListShowsNoOldTrail) {
  auto track = TrackOn(Draw, View, Square);
  const auto fill = [](TRecords& records, float y, int count) {
    for (int i = 0; i < count; ++i) AddAt(records, -900.0f + 25 * i, y + 100 * std::sin(i / 5.0f));
  };
  TRecords records;
  fill(records, 300, 80);
  TTrail trail;
  const TPointF pos{0, 0};
  ASSERT_FALSE(Paint(*track, trail, records, 79, pos) == PaintBase(*track, pos));
  records.Clear();
  EXPECT_TRUE(Paint(*track, trail, records, 79, pos) == PaintBase(*track, pos));
  fill(records, 400, 1);
  EXPECT_TRUE(Paint(*track, trail, records, 0, pos) == PaintBase(*track, pos));
  records.Clear();
  fill(records, -500, 60);
  EXPECT_TRUE(Paint(*track, trail, records, 59, pos) == PaintFresh(*track, records, 59, pos));
  EXPECT_TRUE(Paint(*track, trail, records, 30, pos) == PaintFresh(*track, records, 30, pos));
  // Cleared and at once filled with more records than before, between two frames.
  records.Clear();
  fill(records, 100, 90);
  EXPECT_TRUE(Paint(*track, trail, records, 89, pos) == PaintFresh(*track, records, 89, pos));
}

// Records without a position (NaN, infinite) or with enormous ones neither stop the
// drawing nor draw anything for their segments: the picture is that of the records
// about them alone, split where the position is missing.
TEST_F(TrailTest, RecordsWithoutAPositionOrFarOutDrawNothing) {
  auto track = TrackOn(Draw, View, Square);
  const auto stretch = [&](TRecords& records, float y) {
    for (int i = 0; i < 30; ++i) AddAt(records, -800.0f + 50 * i, y + 60 * std::cos(i / 4.0f));
  };
  TRecords odd, plain;
  stretch(odd, 200);
  AddAt(odd, NaN, NaN);
  for (TPointF p : {TPointF{Inf, 0}, TPointF{1e30f, 1e30f}, TPointF{1e30f, -1e30f},
                    TPointF{3e38f, -3e38f}, TPointF{-Inf, NaN}, TPointF{NaN, 5},
                    TPointF{-1e30f, 1e30f}, TPointF{-3e38f, 3e38f}, TPointF{0, NaN}})
    AddAt(odd, p.X, p.Y);
  stretch(odd, -300);
  stretch(plain, 200);
  AddAt(plain, NaN, NaN);
  stretch(plain, -300);
  TTrail trail;
  for (TPointF pos : {TPointF{0, 0}, TPointF{500, -200}}) {
    const TPicture shown = Paint(*track, trail, odd, odd.Count() - 1, pos);
    EXPECT_TRUE(shown == PaintFresh(*track, plain, plain.Count() - 1, pos));
  }
}

// A segment from inside the view to an enormous position crosses the view; its
// pixels are not asserted, only that drawing it comes back.
TEST_F(TrailTest, ASegmentFromTheViewToAnEnormousPositionReturns) {
  auto track = TrackOn(Draw, View, Square);
  TRecords records;
  for (TPointF p :
       {TPointF{0, 0}, TPointF{1e30f, 3}, TPointF{-1e30f, -7}, TPointF{5, 5}, TPointF{3e38f, 3e38f},
        TPointF{-3e38f, -3e38f}, TPointF{100, -100}, TPointF{-1e30f, 1e29f}, TPointF{0, 0}})
    AddAt(records, p.X, p.Y);
  TTrail trail;
  for (int32_t last = 1; last < records.Count(); ++last)
    Paint(*track, trail, records, last, TPointF{0, 0});
  SUCCEED();
}

}  // namespace
}  // namespace k2
