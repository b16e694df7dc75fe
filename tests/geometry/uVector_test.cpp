#include <gtest/gtest.h>

#include <cmath>

#include "common/TestSupport.h"
#include "geometry/uConstants.h"
#include "geometry/uVector.h"

namespace k2 {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(127.5), 128);
  EXPECT_EQ(RoundHalfEven(1e12), INT32_MAX);
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

TEST(PointsEqual, ToleranceIsStrict) {
  EXPECT_TRUE(PointsEqual({0, 0}, {0.0099f, -0.0099f}));
  EXPECT_FALSE(PointsEqual({0, 0}, {0.01f, 0}));
}

struct TAngleCase {
  const char* Name;
  TPointF To;
  float Expected;
};
void PrintTo(const TAngleCase& c, std::ostream* os) {
  *os << "(" << c.To.X << ", " << c.To.Y << ")";
}

class DirectionAngleTest : public ::testing::TestWithParam<TAngleCase> {};

TEST_P(DirectionAngleTest, FromOrigin) {
  EXPECT_NEAR(DirectionAngle({0, 0}, GetParam().To), GetParam().Expected, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Directions, DirectionAngleTest,
                         ::testing::Values(TAngleCase{"AlongPositiveY", {0, 10}, 90},
                                           TAngleCase{"AlongNegativeX", {-10, 0}, 180},
                                           TAngleCase{"AlongNegativeY", {0, -10}, -90},
                                           TAngleCase{"ToItself", {0, 0}, 0},
                                           TAngleCase{"Diagonal", {10, 10}, 45}),
                         test::TCaseName());

TEST(PointDistance, LargeValuesDoNotOverflow) {
  EXPECT_FLOAT_EQ(PointDistance({0, 0}, {3, 4}), 5);
  EXPECT_FLOAT_EQ(PointDistance({0, 0}, {2e38f, 2e38f}), 2.828427e38f);
}

TEST(Rects, EdgesCountAsInsideAndOverlapping) {
  const TRectF a = MakeRectF(0, 10, 10, 0);
  const TRectF b = MakeRectF(10, 10, 20, 0);
  EXPECT_FALSE(RectsDisjoint(a, b));
  EXPECT_TRUE(RectInside(a, a));
  EXPECT_TRUE(RectsDisjoint(a, MakeRectF(10.5f, 10, 20, 0)));
  EXPECT_FALSE(RectInside(MakeRectF(-1, 10, 10, 0), a));
}

}  // namespace
}  // namespace k2
