// Point-sensor readings, sensor dots and the CCD picture.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <vector>

#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRunView.h"
#include "simulation/uSimuSampling.h"

namespace k2 {
namespace {

using test::ArcAround;
using test::LineTo;

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;

// ---- point sensors ----------------------------------------------------------

struct TReadingCase {
  const char* Name;
  uint8_t Type;
  int32_t EffectiveR;
  TPointF Point;
  uint8_t Expected;
};
void PrintTo(const TReadingCase& c, std::ostream* os) { *os << c.Name; }

class ReadingTest : public ::testing::TestWithParam<TReadingCase> {
 protected:
  test::TTempDir Dir;
};

// One line from (0, 0) to (1000, 0) with a 30 mm centre line.  Points beyond its end
// lie at an exactly known distance from the end point.
TEST_P(ReadingTest, OneSensorNearALine) {
  const TReadingCase& c = GetParam();
  auto track = test::MakeTrack({LineTo(1000, 0)});
  ASSERT_EQ(track->LineWidth, 30);
  TCar car(nullptr, RunMainSpan);
  car.AddLightSensor(test::PointSensor(0, 0, c.Type, c.EffectiveR));
  std::vector<uint8_t> readings;
  ReadLightSensors(*track, car, {c.Point}, readings);
  ASSERT_EQ(readings.size(), 1u);
  EXPECT_EQ(readings[0], c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, ReadingTest,
    ::testing::Values(TReadingCase{"DiscreteOnTheLine", 0, 0, {500, 0}, 0},
                      TReadingCase{"DiscreteAtHalfTheWidth", 0, 0, {1015, 0}, 0},
                      TReadingCase{"DiscreteAHairFurther", 0, 0, {1015.01f, 0}, 255},
                      TReadingCase{"ContinuousHalfwayRoundsToEven", 1, 100, {1050, 0}, 128},
                      TReadingCase{"ContinuousTenRoundsUpToEven", 1, 100, {1010, 0}, 26},
                      TReadingCase{"ContinuousThirtyRoundsDownToEven", 1, 100, {1030, 0}, 76},
                      TReadingCase{"ContinuousAQuarter", 1, 100, {1025, 0}, 64},
                      TReadingCase{"ContinuousAtTheRadius", 1, 100, {1100, 0}, 255},
                      TReadingCase{"ContinuousBeyondTheRadius", 1, 100, {1100.5f, 0}, 255},
                      TReadingCase{"ZeroRadiusOnTheLine", 1, 0, {1000, 0}, 0},
                      TReadingCase{"ZeroRadiusOffTheLine", 1, 0, {1000.5f, 0}, 255}),
    test::TCaseName());

TEST(Readings, AtAJointTheNearerElementDecidesInEitherOrder) {
  test::TTempDir dir;
  TCar car(nullptr, RunMainSpan);
  car.AddLightSensor(test::PointSensor(0, 0, 1, 100));
  car.AddLightSensor(test::PointSensor(0, 0, 0, 0));
  // (988, 25): 25 mm from the first line, about 12 mm from the second.
  const std::vector<TPointF> points = {MakePointF(988, 25), MakePointF(988, 25)};
  auto track = test::MakeTrack({LineTo(1000, 0), LineTo(1000, 1000)});
  std::vector<uint8_t> readings;
  ReadLightSensors(*track, car, points, readings);
  EXPECT_EQ(readings, (std::vector<uint8_t>{31, 0}));
  std::swap(track->Elements[0], track->Elements[1]);
  ReadLightSensors(*track, car, points, readings);
  EXPECT_EQ(readings, (std::vector<uint8_t>{31, 0}));
  // Far from every element: plain white.
  ReadLightSensors(*track, car, {MakePointF(500, 500), MakePointF(500, 500)}, readings);
  EXPECT_EQ(readings, (std::vector<uint8_t>{255, 255}));
}

TEST(Readings, SensedPointsTurnWithTheCar) {
  test::TTempDir dir;
  TCar car(nullptr, RunMainSpan);
  car.AddLightSensor(test::PointSensor(0, 100));
  car.AddLightSensor(test::PointSensor(50, 0));
  struct TCase {
    float Heading;
    TPointF First, Second;
  } cases[] = {{0, {10, 120}, {60, 20}}, {90, {-90, 20}, {10, 70}}, {-90, {110, 20}, {10, -30}}};
  for (const TCase& c : cases) {
    std::vector<TPolar> polars;
    SensorPolars(car, polars);
    std::vector<TPointF> points;
    PlaceSensorPoints(polars, MakePointF(10, 20), c.Heading, points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_NEAR(points[0].X, c.First.X, 1e-3) << c.Heading;
    EXPECT_NEAR(points[0].Y, c.First.Y, 1e-3) << c.Heading;
    EXPECT_NEAR(points[1].X, c.Second.X, 1e-3) << c.Heading;
    EXPECT_NEAR(points[1].Y, c.Second.Y, 1e-3) << c.Heading;
  }
}

// ---- sensor dots ------------------------------------------------------------

struct TDotCase {
  const char* Name;
  std::vector<TPoint> Sensors;  // sensed points, car frame
  TViewSize Display;
  std::vector<TPointF> Dots;
};
void PrintTo(const TDotCase& c, std::ostream* os) { *os << c.Name; }

class DotLayoutTest : public ::testing::TestWithParam<TDotCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(DotLayoutTest, DotsSpreadOverTheDisplay) {
  const TDotCase& c = GetParam();
  TCar car(nullptr, RunMainSpan);
  for (const TPoint& p : c.Sensors) car.AddLightSensor(test::PointSensor(p.X, p.Y));
  std::vector<TPointF> dots;
  LayoutSensorDots(car, SensorBounds(car), c.Display.Width, c.Display.Height, dots);
  ASSERT_EQ(dots.size(), c.Dots.size());
  for (size_t i = 0; i < dots.size(); ++i) {
    EXPECT_NEAR(dots[i].X, c.Dots[i].X, 2e-3) << i;
    EXPECT_NEAR(dots[i].Y, c.Dots[i].Y, 2e-3) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DotLayoutTest,
    ::testing::Values(
        TDotCase{"OneSensorSitsInTheMiddle", {{30, 120}}, SimuSensorsSize, {{145, 50}}},
        TDotCase{"OneSensorOnTheCarTestDisplay", {{30, 120}}, CarTestSensorsSize, {{183, 38}}},
        TDotCase{"ARowAcrossFillsTheWidthAtMidHeight",
                 {{-40, 250}, {0, 250}, {40, 250}},
                 SimuSensorsSize,
                 {{5, 50}, {145, 50}, {285, 50}}},
        TDotCase{"ForwardIsUpAndRightIsRight",
                 {{0, 300}, {0, 100}, {50, 200}},
                 SimuSensorsSize,
                 {{5, 5}, {5, 95}, {285, 50}}}),
    test::TCaseName());

TEST(SensorDots, BoundsTakeTheExtremesAndAreZeroWithoutSensors) {
  test::TTempDir dir;
  TCar car(nullptr, RunMainSpan);
  const TRectF none = SensorBounds(car);
  EXPECT_EQ(none.Left, 0);
  EXPECT_EQ(none.Top, 0);
  EXPECT_EQ(none.Right, 0);
  EXPECT_EQ(none.Bottom, 0);
  for (TPoint p : {TPoint{0, 300}, TPoint{-20, 100}, TPoint{50, 200}})
    car.AddLightSensor(test::PointSensor(p.X, p.Y));
  const TRectF b = SensorBounds(car);
  EXPECT_EQ(b.Left, -20);
  EXPECT_EQ(b.Top, 300);
  EXPECT_EQ(b.Right, 50);
  EXPECT_EQ(b.Bottom, 100);
}

TEST(SensorDots, OpacityShowsTheReading) {
  QImage display = MakeViewRaster(SimuSensorsSize);
  display.fill(White);
  const std::vector<TPointF> dots = {MakePointF(20, 20), MakePointF(100, 20)};
  DrawSensorDots(&display, dots, {0, 255});
  const QRgb onLine = display.pixel(25, 25);
  EXPECT_EQ(qRed(onLine), 0);
  EXPECT_EQ(qGreen(onLine), 100);
  EXPECT_EQ(qBlue(onLine), 0);
  EXPECT_EQ(display.pixel(105, 25), White);  // white: the outline only
  EXPECT_NE(display.pixel(100, 25), White);  // the outline's left edge
  EXPECT_EQ(display.pixel(60, 25), White);   // nothing between the dots
  DrawSensorDots(nullptr, dots, {0, 255});   // no display: nothing to do
}

// ---- CCD --------------------------------------------------------------------

TEST(GreyLevel, IsTheRoundedMeanOfTheColoursWithoutAlpha) {
  struct TCase {
    QRgb Colour;
    uint8_t Grey;
  } cases[] = {{0xFF000000, 0},   {0xFFFFFFFF, 255}, {0xFF808080, 128},
               {0x00FFFFFF, 255}, {0xFF010000, 0},   {0xFF020000, 1},
               {0xFFFF0000, 85},  {0xFF0000FE, 85},  {0x80102030, 32}};
  for (const TCase& c : cases) EXPECT_EQ(GreyLevel(c.Colour), c.Grey) << std::hex << c.Colour;
}

TEST(CcdCamera, SetupSizesTheWorkRasterByTheDiagonal) {
  test::TTempDir dir;
  auto sensor = test::RectCcd();  // 200 x 150 mm
  TCcdCamera camera;
  ASSERT_TRUE(camera.Setup(*sensor, nullptr));
  EXPECT_EQ(camera.WorkSize(), 63);  // a = 250 mm, s = ceil(250 / 4)
  EXPECT_EQ(camera.Work().size(), QSize(63, 63));
  EXPECT_EQ(camera.SourceRect(), QRectF(QPointF(6.25, 12.5), QPointF(56.25, 50)));
  EXPECT_EQ(camera.Width(), 80);
  EXPECT_EQ(camera.Height(), 60);
  EXPECT_TRUE(camera.HasProjection());
}

// Each case puts the centre of the sensed area (car frame (0, 175)) at the world
// origin and lays a long line there; the picture (2.5 mm per pixel, row 0 the far
// side) must show it where the car sees it.
struct TCcdCase {
  const char* Name;
  float Heading;
  TPointF Pos;
  TPointF LineFrom, LineTo;
  bool Across;  // the line runs across the picture (else up and down)
  QPoint BlackAt, WhiteAt;
};
void PrintTo(const TCcdCase& c, std::ostream* os) { *os << c.Name; }

class CcdPictureTest : public ::testing::TestWithParam<TCcdCase> {
 protected:
  test::TTempDir Dir;
};

TEST_P(CcdPictureTest, TheLineAppearsWhereTheCarSeesIt) {
  const TCcdCase& c = GetParam();
  auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
  track->Elements.push_back(std::make_unique<TLineData>(c.LineFrom, c.LineTo));
  auto sensor = test::RectCcd();
  TCcdCamera camera;
  ASSERT_TRUE(camera.Setup(*sensor, nullptr));
  camera.Render(*track, c.Pos, c.Heading);
  const QImage& frame = camera.Frame();
  EXPECT_EQ(frame.pixel(c.BlackAt), Black);
  EXPECT_EQ(frame.pixel(c.WhiteAt), White);
  // The pen is half the line width in pixels at 4 mm each: a 60 mm band, 24 pixels.
  int black = 0;
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x) black += frame.pixel(x, y) == Black;
  const int length = c.Across ? frame.width() : frame.height();
  EXPECT_NEAR(black / static_cast<double>(length), 24, 2.5);
  // Only black and white, and the grey picture row by row from the top.
  std::vector<uint8_t> grey(80 * 60);
  camera.Grey(grey.data());
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) {
      const QRgb p = frame.pixel(x, y);
      ASSERT_TRUE(p == Black || p == White) << x << "," << y;
      ASSERT_EQ(grey[static_cast<size_t>(y * 80 + x)], p == Black ? 0 : 255);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Headings, CcdPictureTest,
    ::testing::Values(
        TCcdCase{"Heading0LineAcrossThroughTheCentre",
                 0,
                 {0, -175},
                 {-5000, 0},
                 {5000, 0},
                 true,
                 {40, 30},
                 {40, 5}},
        TCcdCase{"Heading0LineAheadIsNearTheTop",
                 0,
                 {0, -175},
                 {-5000, 50},
                 {5000, 50},
                 true,
                 {40, 10},
                 {40, 50}},
        TCcdCase{"Heading0LineToTheRightIsRight",
                 0,
                 {0, -175},
                 {50, -5000},
                 {50, 5000},
                 false,
                 {60, 30},
                 {20, 30}},
        TCcdCase{"Heading90TheXAxisRunsUpTheRaster",
                 90,
                 {175, 0},
                 {-5000, 0},
                 {5000, 0},
                 false,
                 {40, 30},
                 {10, 30}},
        TCcdCase{"Heading90RightIsPlusY",
                 90,
                 {175, 0},
                 {-5000, 50},
                 {5000, 50},
                 false,
                 {60, 30},
                 {20, 30}},
        TCcdCase{"Heading90AheadIsMinusX",
                 90,
                 {175, 0},
                 {-50, -5000},
                 {-50, 5000},
                 true,
                 {40, 10},
                 {40, 50}},
        TCcdCase{"HeadingMinus90RightIsMinusY",
                 -90,
                 {-175, 0},
                 {-5000, -50},
                 {5000, -50},
                 false,
                 {60, 30},
                 {20, 30}},
        TCcdCase{
            "Heading180", 180, {0, 175}, {-50, -5000}, {-50, 5000}, false, {60, 30}, {20, 30}}),
    test::TCaseName());

TEST(CcdCamera, AnArcIsDrawnAlongItsSweptPart) {
  test::TTempDir dir;
  // A quarter circle of radius 1000 from (0, 0) counter-clockwise around (0, 1000).
  auto track = test::MakeTrack({ArcAround(0, 1000, 90)});
  auto sensor = test::RectCcd();
  TCcdCamera camera;
  ASSERT_TRUE(camera.Setup(*sensor, nullptr));
  // Facing +x at the start of the arc: the line leaves the centre bending left.
  camera.Render(*track, MakePointF(-175, 0), -90);
  EXPECT_EQ(camera.Frame().pixel(40, 30), Black);
  EXPECT_EQ(camera.Frame().pixel(40, 2), Black);  // 70 mm ahead it has moved 2.5 mm left
  // The other half of the circle is not part of the track.
  camera.Render(*track, MakePointF(-175, 2000), -90);
  EXPECT_EQ(camera.Frame().pixel(40, 30), White);
}

TEST(CcdCamera, WithoutAProjectionThePictureIsWhite) {
  test::TTempDir dir;
  auto track = test::MakeTrack({LineTo(1000, 0)});
  TCCDSensor sensor;  // a sensor confirmed without corners
  sensor.ComputeSenseArea({}, {}, {}, {}, 80, 60);
  TCcdCamera camera;
  ASSERT_TRUE(camera.Setup(sensor, nullptr));
  EXPECT_FALSE(camera.HasProjection());
  camera.Render(*track, MakePointF(0, 0), 0);
  std::vector<uint8_t> grey(80 * 60, 0);
  camera.Grey(grey.data());
  EXPECT_EQ(grey, std::vector<uint8_t>(80 * 60, 255));
}

TEST(CcdCamera, SetupRefusesAPictureWithoutPixels) {
  test::TTempDir dir;
  auto sensor = test::RectCcd(0, 60);
  TCcdCamera camera;
  EXPECT_FALSE(camera.Setup(*sensor, nullptr));
}

TEST(CcdCamera, ThePictureFillsTheDisplayWidthKeepingItsProportions) {
  test::TTempDir dir;
  // A line 60 mm nearer than the centre of the area: black from picture row 42 down.
  auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
  track->Elements.push_back(
      std::make_unique<TLineData>(MakePointF(-5000, -60), MakePointF(5000, -60)));
  QImage display = MakeViewRaster(RunCcdSize);
  display.fill(White);
  auto sensor = test::RectCcd();
  TCcdCamera camera;
  ASSERT_TRUE(camera.Setup(*sensor, &display));
  camera.Render(*track, MakePointF(0, -175), 0);
  ASSERT_EQ(camera.Frame().pixel(40, 59), Black);
  camera.DrawTo(&display);
  // 80 x 60 pixels become 110 x 82.5: the picture's last rows end at display row 82.
  EXPECT_EQ(display.pixel(55, 10), White);
  EXPECT_EQ(display.pixel(55, 80), Black);
  EXPECT_EQ(display.pixel(109, 80), Black);
  EXPECT_EQ(display.pixel(55, 84), White);
  EXPECT_EQ(display.pixel(55, 109), White);
}

}  // namespace
}  // namespace k2
