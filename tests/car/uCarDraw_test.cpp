#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <ostream>

#include "car/uCar.h"
#include "common/TestSupport.h"
#include "simulation/uRunView.h"

namespace k2 {
namespace {

// Expected blends over opaque white with alpha 200: out = colour x 200/255 + below x 55/255.
struct TRgb {
  int R, G, B;
};
constexpr TRgb White{255, 255, 255};
constexpr TRgb Body{55, 55, 164};
constexpr TRgb AxleOnBody{186, 156, 141};
constexpr TRgb AxleOnWhite{229, 199, 161};
constexpr TRgb WheelOnWhite{184, 88, 88};
constexpr TRgb DotOnBody{12, 90, 35};
constexpr TRgb BodyTwice{12, 12, 144};

::testing::AssertionResult PixelIs(const QImage& img, int x, int y, TRgb want) {
  const QRgb c = img.pixel(x, y);
  if (std::abs(qRed(c) - want.R) <= 3 && std::abs(qGreen(c) - want.G) <= 3 &&
      std::abs(qBlue(c) - want.B) <= 3)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << x << ", " << y << ") is (" << qRed(c) << ", " << qGreen(c) << ", "
         << qBlue(c) << "), want (" << want.R << ", " << want.G << ", " << want.B << ")";
}

struct TProbe {
  int X, Y;
  TRgb Want;
};

// The car page's view: 300 x 300 pixels over 1500 mm, cleared to opaque white.
class CarDrawTest : public ::testing::Test {
 protected:
  CarDrawTest() : View(MakeViewRaster(CarTestMainSize)), Car(&View, CarTestMainSpan) { Clear(); }
  void Clear() { View.fill(0xFFFFFFFF); }
  void Expect(std::initializer_list<TProbe> probes) const {
    for (const TProbe& p : probes) EXPECT_TRUE(PixelIs(View, p.X, p.Y, p.Want));
  }

  test::TTempDir Dir;
  QImage View;
  TCar Car;
};

TEST_F(CarDrawTest, DefaultCarFacingUp) {
  Car.Draw();
  Expect({// body: 40 x 80 pixels around (150, 150)
          {150, 150, Body},
          {130, 150, Body},
          {129, 150, White},
          {169, 150, Body},
          {170, 150, White},
          {150, 110, Body},
          {150, 109, White},
          {150, 189, Body},
          {150, 190, White},
          // front axle 26 pixels above the centre, 3 pixels wide
          {150, 123, AxleOnBody},
          {150, 124, AxleOnBody},
          {150, 121, Body},
          {150, 127, Body},
          {125, 124, AxleOnWhite},
          // rear axle 12 pixels below
          {150, 161, AxleOnBody},
          {150, 162, AxleOnBody},
          {150, 159, Body},
          {150, 165, Body},
          // wheels 4 x 8 pixels centred on the axle ends (150 -+ 30)
          {119, 165, WheelOnWhite},
          {180, 127, WheelOnWhite},
          {117, 165, White},
          {183, 127, White}});
}

struct THeadingCase {
  const char* Name;
  float Heading;
  int FrontX, RearX;
};

void PrintTo(const THeadingCase& c, std::ostream* os) { *os << "heading " << c.Heading; }

class CarDrawHeading : public CarDrawTest, public ::testing::WithParamInterface<THeadingCase> {};

TEST_P(CarDrawHeading, FrontPointsWhereTheHeadingSays) {
  const THeadingCase& c = GetParam();
  Car.Heading = c.Heading;
  Car.Draw();
  // The body lies across the view: 80 x 40 pixels.
  Expect({{112, 150, Body},
          {150, 131, Body},
          {150, 128, White},
          {108, 150, White},
          {c.FrontX, 150, AxleOnBody},
          {c.FrontX + 1, 150, AxleOnBody},
          {c.RearX, 150, AxleOnBody},
          {c.RearX + 1, 150, AxleOnBody}});
}

// The axle at x = 150 -+ 26 (front) and 150 +- 12 (rear) covers the two columns around it.
INSTANTIATE_TEST_SUITE_P(Cases, CarDrawHeading,
                         ::testing::Values(THeadingCase{"Heading90", 90, 123, 161},
                                           THeadingCase{"HeadingMinus90", -90, 175, 137}),
                         test::TCaseName());

TEST_F(CarDrawTest, FrontWheelsTurnLeftWithPositiveSteering) {
  // Up and left of the front right wheel's centre (180, 124), mostly covered only when
  // the wheel is turned.
  const auto reddish = [this](int x, int y) {
    const QRgb c = View.pixel(x, y);
    return qRed(c) - qGreen(c) > 60;
  };
  Car.SteerAngle = 30;
  Car.Draw();
  EXPECT_TRUE(reddish(177, 121));
  Expect({{183, 121, White},
          // the rear wheels stay straight
          {117, 159, White}});
  Clear();
  Car.SteerAngle = 0;
  Car.Draw();
  EXPECT_FALSE(reddish(177, 121));
}

TEST_F(CarDrawTest, SensorDotSitsOnTheSensedPoint) {
  auto s = std::make_unique<TLightSensor>();
  s->SetAssembleX(0);
  s->SetAssembleY(100);
  s->SetAssembleZ(50);
  s->SetBeta(45);  // senses Y = 150 mm: 30 pixels above the centre
  Car.AddLightSensor(std::move(s));
  Car.Draw();
  Expect({{149, 119, DotOnBody}, {150, 120, DotOnBody}, {150, 130, Body}, {154, 120, Body}});
}

TEST_F(CarDrawTest, CCDAreaIsTranslucentAndNothingWhenItsCornersAreZero) {
  Car.Draw();
  const QImage plain = View;
  Clear();
  Car.SetCCDSensor(std::make_unique<TCCDSensor>());
  Car.CCDSensor->ComputeSenseArea({}, {}, {}, {}, 1, 1);
  Car.Draw();
  EXPECT_EQ(View, plain);

  Clear();
  Car.CCDSensor->ComputeSenseArea({-50, 300}, {-30, 250}, {50, 300}, {30, 250}, 80, 60);
  Car.Draw();
  // Rows 90..100, in front of the body: forest green at alpha 80 over white.
  const QRgb c = View.pixel(150, 95);
  EXPECT_GT(qGreen(c), qRed(c));
  EXPECT_GT(qGreen(c), qBlue(c));
  EXPECT_GT(qRed(c), 150);
  EXPECT_TRUE(PixelIs(View, 150, 85, White));
}

TEST_F(CarDrawTest, DrawingTwiceBlendsTwice) {
  Car.Draw();
  Car.Draw();
  Expect({{150, 150, BodyTwice}});
}

TEST(CarDraw, WithoutARasterNothingIsDrawn) {
  test::TTempDir dir;
  TCar car(nullptr, CarTestMainSpan);
  car.Draw();
  SUCCEED();
}

}  // namespace
}  // namespace k2
