// TDialGauge: range and value, the label step, and where the needle points in the
// painted picture.
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "widgets/uDialGauge.h"

namespace k2 {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The needle is the only red in the picture.
bool IsNeedle(QRgb p) {
  return qAlpha(p) > 128 && qRed(p) > 120 && qRed(p) - qGreen(p) > 70 && qRed(p) - qBlue(p) > 70;
}

// The needle's pixels in a painted dial.
std::vector<QPoint> NeedlePixels(TDialGauge& dial) {
  const QImage img = dial.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  std::vector<QPoint> pixels;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (IsNeedle(img.pixel(x, y))) pixels.push_back(QPoint(x, y));
  return pixels;
}

QPointF Centroid(const std::vector<QPoint>& pixels) {
  QPointF sum;
  for (const QPoint& p : pixels) sum += QPointF(p);
  return pixels.empty() ? QPointF() : sum / static_cast<double>(pixels.size());
}

// A dial of the car page's size.
class DialTest : public ::testing::Test {
 protected:
  DialTest() : Dial(QStringLiteral("车速 m/s"), 0, 10) { Dial.resize(120, 150); }
  QPointF NeedleAt(double value) {
    Dial.SetValue(value);
    return Centroid(NeedlePixels(Dial));
  }
  TDialGauge Dial;
};

TEST_F(DialTest, KeepsCaptionRangeAndValue) {
  EXPECT_EQ(Dial.Caption(), QStringLiteral("车速 m/s"));
  EXPECT_EQ(Dial.Minimum(), 0);
  EXPECT_EQ(Dial.Maximum(), 10);
  EXPECT_EQ(Dial.Value(), 0);
  Dial.SetValue(3.25);
  EXPECT_EQ(Dial.Value(), 3.25);
  Dial.SetRange(-40, 40);
  EXPECT_EQ(Dial.Minimum(), -40);
  EXPECT_EQ(Dial.Maximum(), 40);
  EXPECT_EQ(Dial.Value(), 3.25);  // a new range keeps the value
}

// Both ways of giving a range put a reversed one in order.
TEST(DialRangeTest, AReversedRangeIsPutInOrder) {
  TDialGauge built(QStringLiteral("转向 °"), 40, -40);
  EXPECT_EQ(built.Minimum(), -40);
  EXPECT_EQ(built.Maximum(), 40);
  EXPECT_EQ(built.LabelStep(), 20);
  TDialGauge set(QStringLiteral("转向 °"), 0, 1);
  set.SetRange(7, 0);
  EXPECT_EQ(set.Minimum(), 0);
  EXPECT_EQ(set.Maximum(), 7);
  EXPECT_EQ(set.LabelStep(), 2);
}

TEST(DialLabelTest, StepOfTheCarTestRanges) {
  const struct {
    double Min, Max, Step;
  } cases[] = {{0, 7, 2}, {-40, 40, 20}, {0, 1000, 200}, {0, 15, 5}, {-100, 100, 50},
               {0, 6, 1}, {0, 3, 1},     {0, 0.5, 1},    {5, 5, 1}};
  for (const auto& c : cases) {
    const TDialGauge dial(QStringLiteral("x"), c.Min, c.Max);
    EXPECT_EQ(dial.LabelStep(), c.Step) << c.Min << ".." << c.Max;
  }
}

// Over spans from 1 to 10^15: the step is 1, 2 or 5 times a power of ten (at least 1), it
// leaves at most six steps, and the next finer such step would leave more.
TEST(DialLabelTest, StepIsTheFinestOfOneTwoFiveWithAtMostSixSteps) {
  const double mantissas[] = {1, 1.2, 1.5, 2, 3, 4.99, 5, 6, 6.0001, 7, 9.99, 12, 12.01};
  for (int k = 0; k <= 14; ++k)
    for (double m : mantissas) {
      const double span = m * std::pow(10.0, k);
      for (double low : {0.0, -span / 2, 1234.0}) {
        const TDialGauge dial(QStringLiteral("x"), low, low + span);
        const double actual = dial.Maximum() - dial.Minimum();
        const double step = dial.LabelStep();
        ASSERT_GE(step, 1) << span;
        const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        const double lead = step / power;
        EXPECT_TRUE(std::fabs(lead - 1) < 1e-9 || std::fabs(lead - 2) < 1e-9 ||
                    std::fabs(lead - 5) < 1e-9)
            << "span " << span << " step " << step;
        EXPECT_LE(actual / step, 6 * (1 + 1e-12)) << "span " << span << " step " << step;
        if (step > 1) {
          // 5 -> 2, 2 -> 1, 1 -> 0.5 times the power.
          const double finer = std::fabs(lead - 5) < 1e-9 ? step * 2 / 5 : step / 2;
          EXPECT_GT(actual / finer, 6) << "span " << span << " step " << step;
        }
      }
    }
}

// Clockwise: the lowest value on the left, rising to the right over the top.
TEST_F(DialTest, NeedleTurnsClockwiseFromTheLeft) {
  double previous = -1;
  for (int v = 0; v <= 10; ++v) {
    const QPointF c = NeedleAt(v);
    EXPECT_GT(c.x(), previous) << v;
    previous = c.x();
  }
  const QPointF low = NeedleAt(0), middle = NeedleAt(5), high = NeedleAt(10);
  EXPECT_LT(low.x(), 60 - 15);
  EXPECT_GT(high.x(), 60 + 15);
  EXPECT_NEAR(middle.x(), 60, 1.5);
  EXPECT_LT(middle.y(), low.y() - 10);  // up
  EXPECT_NEAR(low.y(), high.y(), 1.5);
}

// Counter-clockwise: the lowest value on the right, so that a steering angle to the left
// points left.
TEST_F(DialTest, CounterClockwiseNeedleTurnsFromTheRight) {
  Dial.SetCounterClockwise(true);
  Dial.SetRange(-40, 40);
  double previous = 1e9;
  for (int v = -40; v <= 40; v += 8) {
    const QPointF c = NeedleAt(v);
    EXPECT_LT(c.x(), previous) << v;
    previous = c.x();
  }
  EXPECT_GT(NeedleAt(-40).x(), 60 + 15);
  EXPECT_LT(NeedleAt(40).x(), 60 - 15);
  EXPECT_NEAR(NeedleAt(0).x(), 60, 1.5);
}

TEST_F(DialTest, ValuesBeyondTheEndsPaintLikeTheEnds) {
  for (bool ccw : {false, true}) {
    Dial.SetCounterClockwise(ccw);
    const struct {
      double End, Beyond;
    } cases[] = {{0, -0.5}, {0, -1000}, {0, -Inf}, {10, 10.5}, {10, 1e9}, {10, Inf}};
    for (const auto& c : cases) {
      Dial.SetValue(c.End);
      const std::vector<QPoint> end = NeedlePixels(Dial);
      ASSERT_FALSE(end.empty());
      Dial.SetValue(c.Beyond);
      EXPECT_EQ(NeedlePixels(Dial), end) << c.Beyond << (ccw ? " counter-clockwise" : "");
    }
  }
}

// Ranges no car gives still paint, with a needle, and end.
TEST_F(DialTest, DegenerateRangesPaint) {
  const struct {
    double Min, Max;
  } cases[] = {{0, 0},
               {-Inf, Inf},
               {0, Inf},
               {-Inf, 0},
               {-1e308, 1e308},
               {1e16, 1e16 + 6},
               {-1e300, -1e300 + 1e285},
               {NaN, 5}};
  for (const auto& c : cases) {
    Dial.SetRange(c.Min, c.Max);
    for (double value : {0.0, 1e16 + 2, NaN}) {
      Dial.SetValue(value);
      const double step = Dial.LabelStep();
      EXPECT_TRUE(std::isfinite(step) && step >= 1) << c.Min << ".." << c.Max;
      EXPECT_FALSE(NeedlePixels(Dial).empty()) << c.Min << ".." << c.Max << " at " << value;
    }
  }
}

}  // namespace
}  // namespace k2
