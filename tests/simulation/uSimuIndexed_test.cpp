// The engine's indexed sampling must give exactly what looking at every element
// gives: the readings, the deviation (bit for bit, NaN included) and the CCD picture
// (pixel for pixel).  Random tracks, cars and poses come from fixed seeds; elements a
// crafted file may hold are put in as well.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "car/uCar.h"
#include "car/uSensor.h"
#include "common/RandomTracks.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRunView.h"
#include "simulation/uSimuSampling.h"
#include "track/uPath.h"
#include "track/uPathIndex.h"

namespace k2 {
namespace {

using test::TTrackShape;
using test::Uniform;
using test::UniformInt;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

std::string Show(TPointF p) {
  std::ostringstream s;
  s << std::setprecision(9) << "(" << p.X << ", " << p.Y << ")";
  return s.str();
}

// A car with 1 to 16 point sensors anywhere about its front, discrete and continuous,
// with radii from none to far beyond the track's width.
std::unique_ptr<TCar> RandomCar(std::mt19937& rng) {
  auto car = std::make_unique<TCar>(nullptr, RunMainSpan);
  const int32_t radii[] = {0, 1, 7, 30, 150, 1000, 100000};
  const int32_t n = UniformInt(rng, 1, 16);
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t type = static_cast<uint8_t>(UniformInt(rng, 0, 1));
    car->AddLightSensor(test::PointSensor(UniformInt(rng, -300, 300), UniformInt(rng, -100, 400),
                                          type, type ? radii[UniformInt(rng, 0, 6)] : 0));
  }
  return car;
}

// Points far beyond a track of about `extent` mm, so that the deviation's search has
// to widen several times (it starts at the path width and grows fourfold).
std::vector<TPointF> FarPoints(const TPath& track, double extent) {
  std::vector<TPointF> points;
  const TPointF c = track.Elements.front()->StartPoint;
  for (double k : {3.0, 30.0, 1e3, 1e5, 1e9})
    for (double a : {0.3, 2.0, -2.5})
      points.push_back(TPointF{static_cast<float>(c.X + k * extent * std::cos(a)),
                               static_cast<float>(c.Y + k * extent * std::sin(a))});
  points.insert(points.end(), {TPointF{1e30f, -1e30f}, TPointF{-3e38f, 3e38f}, TPointF{NaN, 0},
                               TPointF{Inf, 5}, TPointF{-Inf, Inf}});
  return points;
}

std::string Hex(QRgb c) {
  std::ostringstream s;
  s << std::hex << std::setw(8) << std::setfill('0') << c;
  return s.str();
}

double Extent(const TPath& track) {
  return std::max({static_cast<double>(track.Bounds.Right) - track.Bounds.Left,
                   static_cast<double>(track.Bounds.Top) - track.Bounds.Bottom, 1.0});
}

::testing::AssertionResult SameDeviation(const TPath& track, const TPathIndex& index, TPointF p,
                                         std::vector<int32_t>& scratch) {
  const float plain = NearestDistance(track, p);
  const float indexed = NearestDistance(track, index, p, scratch);
  if (Bits(plain) == Bits(indexed)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << std::setprecision(9) << "at " << Show(p) << " every element gives " << plain
         << ", the index " << indexed;
}

::testing::AssertionResult SameReadings(const TPath& track, const TPathIndex& index,
                                        const TCar& car, const std::vector<TPointF>& points,
                                        std::vector<int32_t>& scratch) {
  std::vector<uint8_t> plain, indexed = {1, 2, 3};
  ReadLightSensors(track, car, points, plain);
  ReadLightSensors(track, index, car, points, indexed, scratch);
  if (plain == indexed) return ::testing::AssertionSuccess();
  for (size_t i = 0; i < std::min(plain.size(), indexed.size()); ++i)
    if (plain[i] != indexed[i])
      return ::testing::AssertionFailure()
             << "sensor " << i << " at " << Show(points[i]) << " reads " << int{plain[i]}
             << " from every element, " << int{indexed[i]} << " through the index";
  return ::testing::AssertionFailure() << plain.size() << " readings against " << indexed.size();
}

// Every comparison for one track: random cars at random poses (on, beside and far from
// the track), more points than sensors, and the deviation at every point.
void CheckSampling(std::mt19937& rng, const TPath& track, int32_t poses) {
  TPathIndex index;
  index.Build(track);
  std::vector<int32_t> scratch;
  std::vector<TPointF> points = test::QueryPoints(rng, track, poses);
  const std::vector<TPointF> far = FarPoints(track, Extent(track));
  points.insert(points.end(), far.begin(), far.end());
  for (TPointF p : points) ASSERT_TRUE(SameDeviation(track, index, p, scratch));

  std::vector<TPolar> polars;
  std::vector<TPointF> sensed;
  for (size_t k = 0; k < points.size(); ++k) {
    auto car = RandomCar(rng);
    SensorPolars(*car, polars);
    PlaceSensorPoints(polars, points[k], static_cast<float>(Uniform(rng, -180, 180)), sensed);
    ASSERT_TRUE(SameReadings(track, index, *car, sensed, scratch));
  }
  // Points straight from the list, more of them than the car has sensors.
  auto car = RandomCar(rng);
  for (size_t k = 0; k + 20 <= points.size(); k += 20) {
    const std::vector<TPointF> some(points.begin() + static_cast<std::ptrdiff_t>(k),
                                    points.begin() + static_cast<std::ptrdiff_t>(k + 20));
    ASSERT_TRUE(SameReadings(track, index, *car, some, scratch));
  }
}

// ---- readings and deviation on random tracks ---------------------------------------

struct TSamplingCase {
  const char* Name;
  TTrackShape Shape;
  int32_t Tracks;
  int32_t LineWidth, PathWidth;  // mm; a file may hold any value
};
void PrintTo(const TSamplingCase& c, std::ostream* os) { *os << c.Name; }

class IndexedSamplingTest : public ::testing::TestWithParam<TSamplingCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(IndexedSamplingTest, ReadingsAndDeviationAreThoseOfEveryElement) {
  const TSamplingCase& c = GetParam();
  std::mt19937 rng(31337);
  for (int32_t t = 0; t < c.Tracks; ++t) {
    SCOPED_TRACE("track " + std::to_string(t));
    auto track = test::RandomTrack(rng, c.Shape);
    track->LineWidth = c.LineWidth;
    track->PathWidth = c.PathWidth;
    CheckSampling(rng, *track, 150);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(
    RandomTracks, IndexedSamplingTest,
    ::testing::Values(TSamplingCase{"SingleLine", {1, 1000, 0, 0, 0, 1}, 10, 30, 300},
                      TSamplingCase{"SingleArc", {1, 1000, 0, 1, 720, 3}, 10, 30, 300},
                      TSamplingCase{"ShortCourses", {30, 800, 0, 0.4, 270, 3}, 10, 30, 300},
                      TSamplingCase{"ThousandElements", {1000, 200, 0, 0.3, 180, 2}, 1, 30, 300},
                      TSamplingCase{"TinyElements", {60, 0.05, 0, 0.4, 180, 2}, 5, 1, 2},
                      TSamplingCase{"FarFromTheOrigin", {80, 500, 1e6, 0.4, 180, 2}, 5, 30, 300},
                      TSamplingCase{"HugeCoordinates", {40, 3e5, 0, 0.4, 180, 3}, 5, 30, 300},
                      TSamplingCase{"LargeRadiusArcs", {40, 1000, 0, 0.8, 20, 1000}, 5, 30, 300},
                      TSamplingCase{
                          "SweepsBeyondAFullTurn", {30, 500, 0, 0.9, 1080, 2}, 5, 30, 300},
                      TSamplingCase{"ZeroWidths", {30, 800, 0, 0.4, 270, 3}, 5, 0, 0},
                      TSamplingCase{"WideLine", {30, 800, 0, 0.4, 270, 3}, 5, 600, 5000},
                      TSamplingCase{"NegativeWidths", {30, 800, 0, 0.4, 270, 3}, 5, -30, -300}),
    test::TCaseName());

// A discrete sensor exactly half the line width from an element reads 0: the index
// must not rule out an element at exactly the reach.  Points beyond a line's end on
// its axis lie at an exactly known distance from it.
TEST(IndexedSampling, AnElementAtExactlyTheReachStillCounts) {
  test::TTempDir dir;
  for (int32_t lineWidth : {30, 31, 1, 0, 301}) {
    SCOPED_TRACE("line width " + std::to_string(lineWidth));
    auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
    track->LineWidth = lineWidth;
    for (int i = 0; i < 200; ++i)
      track->Elements.push_back(std::make_unique<TLineData>(
          TPointF{i * 2000.0f, (i % 7) * 500.0f}, TPointF{i * 2000.0f + 1000, (i % 7) * 500.0f}));
    TPathIndex index;
    index.Build(*track);
    std::vector<int32_t> scratch;
    auto car = std::make_unique<TCar>(nullptr, RunMainSpan);
    car->AddLightSensor(test::PointSensor(0, 0, 0, 0));
    car->AddLightSensor(test::PointSensor(0, 0, 1, lineWidth / 2));
    const float half = lineWidth / 2.0f;
    for (int i = 0; i < 200; i += 3) {
      const float y = (i % 7) * 500.0f;
      for (TPointF p : {TPointF{i * 2000.0f + 1000 + half, y}, TPointF{i * 2000.0f - half, y}}) {
        const std::vector<TPointF> points = {p, p};
        std::vector<uint8_t> plain;
        ReadLightSensors(*track, *car, points, plain);
        ASSERT_EQ(plain[0], 0) << Show(p);
        ASSERT_TRUE(SameReadings(*track, index, *car, points, scratch));
        ASSERT_TRUE(SameDeviation(*track, index, p, scratch));
      }
    }
  }
}

// ---- elements from a crafted file ---------------------------------------------------

// A short course with one crafted element put first (where the deviation starts its
// comparison) or in the middle.
struct TCraftedCase {
  const char* Name;
  bool First;
  bool IsArc;
  TPointF Start, End, Centre;
  float Radius;
  int32_t Sweep;
};
void PrintTo(const TCraftedCase& c, std::ostream* os) { *os << c.Name; }

std::unique_ptr<TPathElement> MakeElement(const TCraftedCase& c) {
  if (c.IsArc) return test::CraftedArc(c.Start, c.End, c.Centre, c.Radius, 0, c.Sweep);
  return std::make_unique<TLineData>(c.Start, c.End);
}

class CraftedSamplingTest : public ::testing::TestWithParam<TCraftedCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(CraftedSamplingTest, ReadingsAndDeviationAreThoseOfEveryElement) {
  const TCraftedCase& c = GetParam();
  std::mt19937 rng(4242);
  auto track = test::RandomTrack(rng, {20, 800, 0, 0.5, 270, 2});
  track->Elements.insert(track->Elements.begin() + (c.First ? 0 : 10), MakeElement(c));
  CheckSampling(rng, *track, 300);
}

const TCraftedCase CraftedElements[] = {
    {"FirstLineWithNaNStart", true, false, {NaN, 0}, {100, 0}, {}, 0, 0},
    {"FirstArcWithNaNRadius", true, true, {100, 0}, {0, 100}, {0, 0}, NaN, 90},
    {"FirstArcFarOffWithNaNCentre", true, true, {9000, 9000}, {9100, 9000}, {NaN, NaN}, 100, 90},
    {"FirstArcRadiusNotItsPoints", true, true, {100, 0}, {0, 100}, {0, 0}, 700, 270},
    {"FirstLineFarAway", true, false, {1e7f, 1e7f}, {1e7f + 50, 1e7f}, {}, 0, 0},
    {"FirstLineWithInfiniteEnd", true, false, {0, 0}, {Inf, 3}, {}, 0, 0},
    {"MiddleArcWithNaNRadius", false, true, {100, 0}, {0, 100}, {0, 0}, NaN, 90},
    {"MiddleArcWithNegativeRadius", false, true, {300, 0}, {0, 300}, {0, 0}, -300, 90},
    {"MiddleArcWithZeroSweep", false, true, {2000, 0}, {0, 100}, {0, 0}, 100, 0},
    {"MiddleLineWithNaNEnd", false, false, {100, 100}, {NaN, NaN}, {}, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(FileFields, CraftedSamplingTest, ::testing::ValuesIn(CraftedElements),
                         test::TCaseName());

// A first element without a distance makes the deviation NaN wherever it gives NaN,
// as comparing each element in turn with it does; the index must not find a number.
TEST(CraftedSampling, AFirstElementWithoutADistanceGivesNaN) {
  test::TTempDir dir;
  int32_t nan = 0;
  for (const TCraftedCase& c : CraftedElements) {
    if (!c.First) continue;
    SCOPED_TRACE(c.Name);
    std::mt19937 rng(4242);
    auto track = test::RandomTrack(rng, {20, 800, 0, 0.5, 270, 2});
    track->Elements.insert(track->Elements.begin(), MakeElement(c));
    TPathIndex index;
    index.Build(*track);
    std::vector<int32_t> scratch;
    for (TPointF p : test::QueryPoints(rng, *track, 200)) {
      if (!std::isnan(ElementDistance(*track->Elements.front(), p))) continue;
      ++nan;
      EXPECT_TRUE(std::isnan(NearestDistance(*track, p))) << Show(p);
      EXPECT_TRUE(std::isnan(NearestDistance(*track, index, p, scratch))) << Show(p);
    }
  }
  EXPECT_GT(nan, 100);
}

// ---- the CCD picture ------------------------------------------------------------

// Cameras: the fixtures' rectangle at two resolutions, a perspective trapezoid, an
// area wider than most elements and one narrower than the line.
struct TCameraCase {
  const char* Name;
  TPointF TopLeft, BottomLeft, TopRight, BottomRight;
  int32_t Width, Height;
};
const TCameraCase Cameras[] = {
    {"Rect", {-100, 250}, {-100, 100}, {100, 250}, {100, 100}, 80, 60},
    {"RectFine", {-100, 250}, {-100, 100}, {100, 250}, {100, 100}, 160, 120},
    {"Trapezoid", {-300, 600}, {-100, 100}, {300, 600}, {100, 100}, 64, 48},
    {"Wide", {-1500, 2500}, {-1500, 100}, {1500, 2500}, {1500, 100}, 120, 100},
    {"Narrow", {-10, 60}, {-10, 40}, {10, 60}, {10, 40}, 16, 16},
};

std::unique_ptr<TCcdCamera> MakeCamera(const TCameraCase& c) {
  TCCDSensor sensor;
  sensor.ComputeSenseArea(c.TopLeft, c.BottomLeft, c.TopRight, c.BottomRight, c.Width, c.Height);
  auto camera = std::make_unique<TCcdCamera>();
  if (!camera->Setup(sensor, nullptr)) return nullptr;
  return camera;
}

// Renders with and without the index at one pose and compares every pixel.
::testing::AssertionResult SamePicture(TCcdCamera& camera, const TPath& track,
                                       const TPathIndex& index, TPointF pos, float heading) {
  camera.Render(track, nullptr, pos, heading);
  const QImage plain = camera.Frame().copy();
  camera.Render(track, &index, pos, heading);
  const QImage& indexed = camera.Frame();
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x)
      if (plain.pixel(x, y) != indexed.pixel(x, y))
        return ::testing::AssertionFailure()
               << std::setprecision(9) << "pixel (" << x << ", " << y << ") differs at "
               << Show(pos) << " heading " << heading << ": " << Hex(plain.pixel(x, y))
               << " from every element, " << Hex(indexed.pixel(x, y)) << " through the index";
  return ::testing::AssertionSuccess();
}

bool ShowsTrack(const QImage& frame) {
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x)
      if (frame.pixel(x, y) != 0xFFFFFFFF) return true;
  return false;
}

struct TPictureCase {
  const char* Name;
  TTrackShape Shape;
  int32_t LineWidth;
};
void PrintTo(const TPictureCase& c, std::ostream* os) { *os << c.Name; }

class IndexedPictureTest : public ::testing::TestWithParam<TPictureCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(IndexedPictureTest, EveryPixelIsThatOfDrawingEveryElement) {
  const TPictureCase& c = GetParam();
  std::mt19937 rng(8086);
  for (const TCameraCase& cam : Cameras) {
    SCOPED_TRACE(cam.Name);
    auto camera = MakeCamera(cam);
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->HasProjection());
    for (int32_t t = 0; t < 3; ++t) {
      auto track = test::RandomTrack(rng, c.Shape);
      track->LineWidth = c.LineWidth;
      TPathIndex index;
      index.Build(*track);
      int32_t shown = 0;  // poses whose picture shows some of the track
      for (TPointF pos : test::QueryPoints(rng, *track, 40)) {
        const float heading = static_cast<float>(Uniform(rng, -180, 180));
        ASSERT_TRUE(SamePicture(*camera, *track, index, pos, heading));
        shown += ShowsTrack(camera->Frame());
      }
      // The comparison means something only if some pictures show the line.
      EXPECT_GT(shown, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    RandomTracks, IndexedPictureTest,
    ::testing::Values(TPictureCase{"ShortCourses", {40, 300, 0, 0.5, 360, 2}, 30},
                      TPictureCase{"ManySmallElements", {300, 60, 0, 0.4, 270, 2}, 30},
                      TPictureCase{"FarFromTheOrigin", {60, 300, 1e6, 0.5, 360, 2}, 30},
                      TPictureCase{"ThinLine", {40, 300, 0, 0.5, 360, 2}, 2},
                      TPictureCase{"WideLine", {40, 300, 0, 0.5, 360, 2}, 300},
                      TPictureCase{"LargeRadiusArcs", {40, 300, 0, 0.8, 30, 300}, 30}),
    test::TCaseName());

// A crafted element between a line across the sensed area and a line up through it.
// Whether the crafted element counts as drawn decides whether the second line starts
// a figure of its own, so leaving out an element the plain drawing takes changes the
// picture.
class CraftedPictureTest : public ::testing::TestWithParam<TCraftedCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(CraftedPictureTest, EveryPixelIsThatOfDrawingEveryElement) {
  const TCraftedCase& c = GetParam();
  auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
  track->Elements.push_back(std::make_unique<TLineData>(TPointF{-5000, 0}, TPointF{5000, 0}));
  track->Elements.push_back(MakeElement(c));
  track->Elements.push_back(std::make_unique<TLineData>(TPointF{0, -5000}, TPointF{0, 5000}));
  TPathIndex index;
  index.Build(*track);
  auto camera = MakeCamera(Cameras[0]);
  ASSERT_TRUE(camera);
  // The sensed area's centre (car frame (0, 175)) over the origin, then elsewhere.
  ASSERT_TRUE(SamePicture(*camera, *track, index, TPointF{0, -175}, 0));
  std::mt19937 rng(5);
  for (int k = 0; k < 50; ++k)
    ASSERT_TRUE(SamePicture(*camera, *track, index,
                            TPointF{static_cast<float>(Uniform(rng, -300, 300)),
                                    static_cast<float>(Uniform(rng, -300, 300))},
                            static_cast<float>(Uniform(rng, -180, 180))));
}

// An element just beyond the work raster is still drawn when the view's test lets it
// through with its margin: with a wide pen its band reaches into the picture, and it
// joins the lines before and after it into one figure.  The index must hand it over.
TEST(IndexedPicture, AnElementJustBeyondTheWorkRasterIsStillDrawn) {
  test::TTempDir dir;
  auto camera = MakeCamera(Cameras[0]);  // work raster 63 px = 252 mm about the sensed centre
  ASSERT_TRUE(camera);
  for (float beyond : {0.05f, 0.3f, 0.55f}) {
    SCOPED_TRACE("beyond by " + std::to_string(beyond));
    const float top = 126 + beyond;
    auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
    track->LineWidth = 200;  // a 400 mm band
    track->Elements.push_back(
        std::make_unique<TLineData>(TPointF{-150, -3000}, TPointF{-150, top}));
    track->Elements.push_back(std::make_unique<TLineData>(TPointF{-150, top}, TPointF{150, top}));
    track->Elements.push_back(std::make_unique<TLineData>(TPointF{150, top}, TPointF{150, -3000}));
    TPathIndex index;
    index.Build(*track);
    // The sensed area's centre over the origin, the work raster's top at y = 126 mm.
    ASSERT_TRUE(SamePicture(*camera, *track, index, TPointF{0, -175}, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(
    FileFields, CraftedPictureTest,
    ::testing::Values(
        TCraftedCase{"ArcFarOffWithInfiniteRadius",
                     false,
                     true,
                     {9000, 9000},
                     {9200, 9000},
                     {0, 0},
                     Inf,
                     90},
        TCraftedCase{"ArcFarOffWithNegativeRadius",
                     false,
                     true,
                     {9000, 9000},
                     {9200, 9000},
                     {0, 0},
                     -100,
                     90},
        TCraftedCase{
            "ArcAroundTheViewFarOff", false, true, {9000, 9000}, {9200, 9000}, {0, 0}, 100, 90},
        TCraftedCase{"LineFarOffWithNaNEnd", false, false, {9000, 9000}, {NaN, NaN}, {}, 0, 0},
        TCraftedCase{"LineWithNaNStart", false, false, {NaN, 9000}, {9000, 9000}, {}, 0, 0},
        TCraftedCase{"LineFarOff", false, false, {9000, 9000}, {9200, 9000}, {}, 0, 0}),
    test::TCaseName());

// An arc with a NaN radius or centre counts as drawn in the plain picture (its box,
// NaN, is never disjoint from the view), so the next line continues its figure.  An
// index that left the arc out would start a new figure there: the pictures would
// differ (pixel (28, 0) at the first pose).
INSTANTIATE_TEST_SUITE_P(
    NaNCircles, CraftedPictureTest,
    ::testing::Values(
        TCraftedCase{
            "ArcFarOffWithNaNRadius", false, true, {9000, 9000}, {9200, 9000}, {0, 0}, NaN, 90},
        TCraftedCase{
            "ArcFarOffWithNaNCentre", false, true, {9000, 9000}, {9200, 9000}, {NaN, 0}, 100, 90}),
    test::TCaseName());

}  // namespace
}  // namespace k2
