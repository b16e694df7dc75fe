// The spatial index of a track's elements.  Its answers must never leave out an
// element that looking at every element would find, so each property is checked
// against a brute-force scan: on random tracks of every size and scale (seeded, so a
// failure repeats), and on elements a crafted file may hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/RandomTracks.h"
#include "common/TestSupport.h"
#include "geometry/uTransformRect.h"
#include "track/uPath.h"
#include "track/uPathIndex.h"

namespace k2 {
namespace {

using test::TTrackShape;
using test::Uniform;
using test::UniformInt;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// Radii of the Near queries: none, rounding-sized, a sensor's reach, the track's
// width, and wider than most tracks.
constexpr double Radii[] = {0, 1e-3, 0.5, 15, 150, 1e4, 1e7};
// Margins of the InRect queries (each grows the boxes by 0.6 x margin mm); the CCD
// picture asks with 1.
constexpr int32_t Margins[] = {0, 1, 10, 1000};

std::string Show(TPointF p) {
  std::ostringstream s;
  s << std::setprecision(9) << "(" << p.X << ", " << p.Y << ")";
  return s.str();
}

std::string Show(const TRectF& r) {
  std::ostringstream s;
  s << std::setprecision(9) << "[" << r.Left << ".." << r.Right << " x " << r.Bottom << ".."
    << r.Top << "]";
  return s.str();
}

::testing::AssertionResult AscendingWithinCount(const std::vector<int32_t>& out, int32_t n) {
  for (size_t k = 0; k < out.size(); ++k) {
    if (out[k] < 0 || out[k] >= n)
      return ::testing::AssertionFailure() << "element " << out[k] << " of " << n;
    if (k > 0 && !(out[k - 1] < out[k]))
      return ::testing::AssertionFailure()
             << "not ascending at " << k << ": " << out[k - 1] << " then " << out[k];
  }
  return ::testing::AssertionSuccess();
}

bool Contains(const std::vector<int32_t>& sorted, int32_t i) {
  return std::binary_search(sorted.begin(), sorted.end(), i);
}

// Near(p, radius) holds every element whose ElementDistance is at most radius,
// ascending and without repeats.
::testing::AssertionResult NearIsComplete(const TPath& track, const TPathIndex& index, TPointF p,
                                          double radius) {
  std::vector<int32_t> out;
  index.Near(p, radius, out);
  const int32_t n = static_cast<int32_t>(track.Elements.size());
  if (auto ok = AscendingWithinCount(out, n); !ok) return ok << " near " << Show(p);
  for (int32_t i = 0; i < n; ++i) {
    const float d = ElementDistance(*track.Elements[static_cast<size_t>(i)], p);
    if (d <= radius && !Contains(out, i))
      return ::testing::AssertionFailure()
             << std::setprecision(9) << "element " << i << " at distance " << d << " from "
             << Show(p) << " is left out for radius " << radius;
  }
  return ::testing::AssertionSuccess();
}

// LowerBound(i, p) is never above ElementDistance(i, p) (an element without a
// distance, NaN, bounds nothing).
::testing::AssertionResult LowerBoundHolds(const TPath& track, const TPathIndex& index, TPointF p) {
  for (int32_t i = 0; i < static_cast<int32_t>(track.Elements.size()); ++i) {
    const float d = ElementDistance(*track.Elements[static_cast<size_t>(i)], p);
    const double bound = index.LowerBound(i, p);
    if (!std::isnan(d) && !(bound <= d))
      return ::testing::AssertionFailure()
             << std::setprecision(9) << "element " << i << " at distance " << d << " from "
             << Show(p) << " has the lower bound " << bound;
  }
  return ::testing::AssertionSuccess();
}

// Whether the element's box (its end points, and for an arc the whole circle of its
// stored radius about its stored centre), grown by `grow`, meets `rect`, touching
// counting; computed in double.  Boxes with NaN are left to the view's own test below.
bool GrownBoxMeets(const TPathElement& e, const TRectF& rect, double grow) {
  std::vector<double> xs = {e.StartPoint.X, e.EndPoint.X}, ys = {e.StartPoint.Y, e.EndPoint.Y};
  if (e.Kind == 1) {
    const auto& a = static_cast<const TArcData&>(e);
    const double r = std::fabs(static_cast<double>(a.Radius));
    xs.insert(xs.end(), {a.Center.X - r, a.Center.X + r});
    ys.insert(ys.end(), {a.Center.Y - r, a.Center.Y + r});
  }
  for (double v : xs)
    if (std::isnan(v)) return false;
  for (double v : ys)
    if (std::isnan(v)) return false;
  const double left = *std::min_element(xs.begin(), xs.end()) - grow;
  const double right = *std::max_element(xs.begin(), xs.end()) + grow;
  const double bottom = *std::min_element(ys.begin(), ys.end()) - grow;
  const double top = *std::max_element(ys.begin(), ys.end()) + grow;
  return !(left > rect.Right || right < rect.Left || bottom > rect.Top || top < rect.Bottom);
}

// InRect(rect, 0.6 x margin) holds every element whose grown box meets rect, and
// every element a view showing rect lets through by its own visibility test with that
// margin (as the CCD picture asks with a margin of 1): a picture drawn from the
// index's answer is then the picture drawn from every element.
::testing::AssertionResult InRectIsComplete(const TPath& track, const TPathIndex& index,
                                            const TRectF& rect, int32_t margin) {
  const double grow = 0.6 * margin;
  std::vector<int32_t> out;
  index.InRect(rect, grow, out);
  const int32_t n = static_cast<int32_t>(track.Elements.size());
  if (auto ok = AscendingWithinCount(out, n); !ok) return ok << " in " << Show(rect);
  TTransformRect view(100, 100, 1);
  view.VisibleRect = rect;
  for (int32_t i = 0; i < n; ++i) {
    const TPathElement& e = *track.Elements[static_cast<size_t>(i)];
    if (Contains(out, i)) continue;
    if (GrownBoxMeets(e, rect, grow))
      return ::testing::AssertionFailure() << "element " << i << " grown by " << grow << " meets "
                                           << Show(rect) << " but is left out";
    const bool visible = e.Kind == 1
                             ? view.ArcVisible(static_cast<const TArcData&>(e).Center,
                                               static_cast<const TArcData&>(e).Radius, margin)
                             : view.LineVisible(e.StartPoint, e.EndPoint, margin);
    if (visible)
      return ::testing::AssertionFailure() << "element " << i << " is visible with margin "
                                           << margin << " in " << Show(rect) << " but is left out";
  }
  return ::testing::AssertionSuccess();
}

// Rectangles about the query points: from a point to a quarter of the track's size.
std::vector<TRectF> QueryRects(std::mt19937& rng, const std::vector<TPointF>& points,
                               double extent) {
  std::vector<TRectF> rects;
  for (TPointF p : points) {
    const double w = extent * std::pow(10.0, Uniform(rng, -6, -0.6));
    const double h = UniformInt(rng, 0, 3) == 0 ? 0 : w * Uniform(rng, 0.2, 2);
    rects.push_back(MakeRectF(static_cast<float>(p.X - w / 2), static_cast<float>(p.Y + h / 2),
                              static_cast<float>(p.X + w / 2), static_cast<float>(p.Y - h / 2)));
  }
  return rects;
}

double Extent(const TPath& track) {
  return std::max({static_cast<double>(track.Bounds.Right) - track.Bounds.Left,
                   static_cast<double>(track.Bounds.Top) - track.Bounds.Bottom, 1.0});
}

// Every property for one track, over `count` random points (plus points that are not
// finite) and rectangles about them.
void CheckAllQueries(std::mt19937& rng, const TPath& track, int32_t count) {
  TPathIndex index;
  index.Build(track);
  ASSERT_EQ(index.Count(), static_cast<int32_t>(track.Elements.size()));
  std::vector<TPointF> points = test::QueryPoints(rng, track, count);
  points.insert(points.end(), {TPointF{NaN, 0}, TPointF{0, Inf}, TPointF{-Inf, -Inf},
                               TPointF{1e20f, -1e20f}, TPointF{3e38f, 3e38f}});
  for (TPointF p : points) {
    for (double r : Radii) ASSERT_TRUE(NearIsComplete(track, index, p, r));
    ASSERT_TRUE(LowerBoundHolds(track, index, p));
  }
  for (const TRectF& rect : QueryRects(rng, points, Extent(track)))
    for (int32_t m : Margins) ASSERT_TRUE(InRectIsComplete(track, index, rect, m));
}

// ---- random tracks ----------------------------------------------------------

struct TIndexCase {
  const char* Name;
  TTrackShape Shape;
  int32_t Tracks;
  int32_t Points;  // per track
};
void PrintTo(const TIndexCase& c, std::ostream* os) { *os << c.Name; }

class PathIndexTest : public ::testing::TestWithParam<TIndexCase> {
 protected:
  test::TTempDir Dir;  // the tracks read their defaults from an empty settings folder
};

TEST_P(PathIndexTest, QueriesFindEverythingAScanOfAllElementsFinds) {
  const TIndexCase& c = GetParam();
  std::mt19937 rng(20240611);
  for (int32_t t = 0; t < c.Tracks; ++t) {
    SCOPED_TRACE("track " + std::to_string(t));
    auto track = test::RandomTrack(rng, c.Shape);
    CheckAllQueries(rng, *track, c.Points);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(
    RandomTracks, PathIndexTest,
    ::testing::Values(TIndexCase{"SingleLine", {1, 1000, 0, 0, 0, 1}, 30, 60},
                      TIndexCase{"SingleArc", {1, 1000, 0, 1, 720, 3}, 30, 60},
                      TIndexCase{"TinyElements", {60, 0.05, 0, 0.4, 180, 2}, 8, 150},
                      TIndexCase{"ShortCourses", {30, 800, 0, 0.4, 270, 3}, 15, 150},
                      TIndexCase{"HundredsOfElements", {600, 300, 0, 0.4, 180, 2}, 2, 300},
                      TIndexCase{"FarFromTheOrigin", {80, 500, 1e6, 0.4, 180, 2}, 6, 150},
                      TIndexCase{"HugeCoordinates", {40, 3e5, 0, 0.4, 180, 3}, 8, 150},
                      TIndexCase{"EnormousCoordinates", {40, 3e8, 0, 0.4, 180, 3}, 8, 150},
                      TIndexCase{"SmallElementsFarOut", {60, 2, 3e7, 0.4, 180, 3}, 8, 150},
                      TIndexCase{"LargeRadiusArcs", {40, 1000, 0, 0.8, 20, 1000}, 8, 150},
                      TIndexCase{"SweepsBeyondAFullTurn", {30, 500, 0, 0.9, 1080, 2}, 10, 150},
                      TIndexCase{
                          "SmallLinesAndHugeCircles", {300, 50, 0, 0.05, 360, 2000}, 3, 200}),
    test::TCaseName());

// The index exists to look at few elements: near a point of a long track it names
// the neighbourhood, not the track.
TEST(PathIndex, QueriesOnALongTrackNameOnlyTheNeighbourhood) {
  test::TTempDir dir;
  std::mt19937 rng(7);
  auto track = test::RandomTrack(rng, {1000, 200, 0, 0.3, 90, 2});
  TPathIndex index;
  index.Build(*track);
  std::vector<int32_t> out;
  size_t most = 0;
  for (size_t i = 0; i < track->Elements.size(); i += 10) {
    const TPointF p = track->Elements[i]->StartPoint;
    index.Near(p, 15, out);
    most = std::max(most, out.size());
    index.InRect(MakeRectF(p.X - 100, p.Y + 100, p.X + 100, p.Y - 100), 0.6, out);
    most = std::max(most, out.size());
  }
  EXPECT_LT(most, track->Elements.size() / 10);
}

TEST(PathIndex, NothingIsNearForANegativeOrNaNRadiusOrOnAnEmptyTrack) {
  test::TTempDir dir;
  auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
  track->Elements.push_back(std::make_unique<TLineData>(TPointF{0, 0}, TPointF{100, 0}));
  TPathIndex index;
  index.Build(*track);
  std::vector<int32_t> out = {7};
  for (double r : {-1e-9, -1.0, static_cast<double>(NaN)}) {
    index.Near(TPointF{50, 0}, r, out);
    EXPECT_TRUE(out.empty()) << r;
  }
  index.Near(TPointF{50, 0}, 0, out);
  EXPECT_EQ(out, std::vector<int32_t>{0});

  track->Elements.clear();
  index.Build(*track);
  EXPECT_EQ(index.Count(), 0);
  index.Near(TPointF{0, 0}, 1e30, out);
  EXPECT_TRUE(out.empty());
  index.InRect(MakeRectF(-1e6f, 1e6f, 1e6f, -1e6f), 10, out);
  EXPECT_TRUE(out.empty());
}

// ---- elements from a crafted file -----------------------------------------------

// One element whose fields a file may hold but no building rule makes.  It is put
// first, in the middle and last of a short random course.
struct TCraftedCase {
  const char* Name;
  bool IsArc;
  TPointF Start, End, Centre;
  float Radius, StartAngle;
  int32_t Sweep;
};
void PrintTo(const TCraftedCase& c, std::ostream* os) { *os << c.Name; }

std::unique_ptr<TPathElement> MakeElement(const TCraftedCase& c) {
  if (c.IsArc) return test::CraftedArc(c.Start, c.End, c.Centre, c.Radius, c.StartAngle, c.Sweep);
  return std::make_unique<TLineData>(c.Start, c.End);
}

TCraftedCase Arc(const char* name, TPointF start, TPointF end, TPointF centre, float radius,
                 float startAngle, int32_t sweep) {
  return {name, true, start, end, centre, radius, startAngle, sweep};
}
TCraftedCase Line(const char* name, TPointF start, TPointF end) {
  return {name, false, start, end, {}, 0, 0, 0};
}

class CraftedElementTest : public ::testing::TestWithParam<TCraftedCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(CraftedElementTest, NothingIsRuledOutWronglyAndNothingCrashes) {
  const TCraftedCase& c = GetParam();
  for (size_t at : {size_t{0}, size_t{6}, size_t{12}}) {
    SCOPED_TRACE("at " + std::to_string(at));
    std::mt19937 rng(99);
    auto track = test::RandomTrack(rng, {12, 800, 0, 0.5, 270, 2});
    track->Elements.insert(track->Elements.begin() + static_cast<std::ptrdiff_t>(at),
                           MakeElement(c));
    CheckAllQueries(rng, *track, 120);
    if (HasFatalFailure()) return;
    // Queries about the crafted element's own points and the view around them.
    TPathIndex index;
    index.Build(*track);
    std::vector<TPointF> own = {c.Start, c.End, c.Centre,
                                TPointF{c.Centre.X + c.Radius, c.Centre.Y},
                                TPointF{c.Centre.X, c.Centre.Y - c.Radius}};
    for (TPointF p : own) {
      for (double r : Radii) ASSERT_TRUE(NearIsComplete(*track, index, p, r));
      ASSERT_TRUE(LowerBoundHolds(*track, index, p));
      if (!std::isfinite(p.X) || !std::isfinite(p.Y)) continue;
      for (int32_t m : Margins)
        ASSERT_TRUE(InRectIsComplete(*track, index,
                                     MakeRectF(p.X - 100, p.Y + 75, p.X + 100, p.Y - 75), m));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    FileFields, CraftedElementTest,
    ::testing::Values(
        Arc("ArcRadiusLargerThanItsPoints", {100, 0}, {0, 100}, {0, 0}, 500, 0, 90),
        Arc("ArcRadiusSmallerThanItsPoints", {100, 0}, {0, 100}, {0, 0}, 5, 0, 90),
        Arc("ArcNegativeRadius", {300, 0}, {0, 300}, {0, 0}, -300, 0, 90),
        Arc("ArcEndPointsOffTheCircle", {1000, 1000}, {-2000, 50}, {0, 0}, 100, 45, 270),
        Arc("ArcZeroSweepFarFromItsCircle", {3000, -3000}, {0, 100}, {0, 0}, 100, 0, 0),
        Arc("ArcLargestSweep", {100, 0}, {0, 100}, {0, 0}, 100, 0, INT32_MAX),
        Arc("ArcSmallestSweep", {100, 0}, {0, 100}, {0, 0}, 100, 0, INT32_MIN),
        Arc("ArcStartAngleOutOfRange", {100, 0}, {0, 100}, {0, 0}, 100, 1000, 90),
        Arc("ArcNaNStartAngle", {100, 0}, {0, 100}, {0, 0}, 100, NaN, 90),
        Arc("ArcNaNStart", {NaN, NaN}, {0, 100}, {0, 0}, 100, 0, 90),
        Arc("ArcNaNEnd", {100, 0}, {0, NaN}, {0, 0}, 100, 0, 90),
        Arc("ArcInfiniteRadius", {100, 0}, {0, 100}, {0, 0}, Inf, 0, 90),
        Arc("ArcHugeRadius", {100, 0}, {0, 100}, {0, 0}, 3e38f, 0, 90),
        Line("LineNaNStart", {NaN, 0}, {100, 100}), Line("LineNaNEnd", {100, 100}, {NaN, NaN}),
        Line("LineInfiniteEnd", {0, 0}, {Inf, 10}), Line("LineZeroLength", {250, 250}, {250, 250}),
        Line("LineHugeCoordinates", {-3e38f, 1}, {3e38f, -1})),
    test::TCaseName());

// An arc whose stored radius or centre is NaN has no box: std::min / std::max would
// drop the NaN and leave a box of its end points, while the view's own test, with the
// NaN in its box, lets the arc through.  The index must not leave it out.
INSTANTIATE_TEST_SUITE_P(
    NaNCircles, CraftedElementTest,
    ::testing::Values(Arc("ArcNaNRadius", {5000, 5000}, {5200, 5000}, {0, 0}, NaN, 0, 90),
                      Arc("ArcNaNCentre", {5000, 5000}, {5200, 5000}, {NaN, 0}, 100, 0, 90)),
    test::TCaseName());

}  // namespace
}  // namespace k2
