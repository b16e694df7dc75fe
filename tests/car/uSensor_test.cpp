#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>

#include "base/uStream.h"
#include "car/uSensor.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

// ---- sensed points ------------------------------------------------------------

struct TSenseCase {
  const char* Name;
  int32_t X, Y, Z, Angle;
  int32_t StoredAngle, SenseY;
};

void PrintTo(const TSenseCase& c, std::ostream* os) {
  *os << "(" << c.X << ", " << c.Y << ", " << c.Z << ") at " << c.Angle;
}

class LightSensorSense : public ::testing::TestWithParam<TSenseCase> {};

TEST_P(LightSensorSense, DialogOrderGivesSensedPoint) {
  const TSenseCase& c = GetParam();
  TLightSensor s;
  s.SetAssembleX(c.X);
  s.SetAssembleY(c.Y);
  s.SetAssembleZ(c.Z);
  s.SetBeta(c.Angle);
  EXPECT_EQ(s.Beta, c.StoredAngle);
  EXPECT_EQ(s.SenseX, c.X);
  EXPECT_EQ(s.SenseY, c.SenseY);
}

INSTANTIATE_TEST_SUITE_P(Cases, LightSensorSense,
                         ::testing::Values(TSenseCase{"At45Degrees", 0, 100, 50, 45, 45, 150},
                                           TSenseCase{"StraightDown", 0, 100, 50, 0, 0, 100},
                                           TSenseCase{"LimitedTo89", 7, 0, 10, 90, 89, 573},
                                           TSenseCase{"NegativeBecomesZero", -3, 20, 10, -5, 0, 20},
                                           TSenseCase{"At60Degrees", 5, -40, 30, 60, 60, 12}),
                         test::TCaseName());

class CCDSensorSense : public ::testing::TestWithParam<TSenseCase> {};

TEST_P(CCDSensorSense, DialogOrderGivesSensedPoint) {
  const TSenseCase& c = GetParam();
  TCCDSensor s;
  s.SetAssembleX(c.X);
  s.SetAssembleY(c.Y);
  s.SetAssembleZ(c.Z);
  s.SetAlpha(c.Angle);
  EXPECT_EQ(s.Alpha, c.StoredAngle);
  EXPECT_EQ(s.SenseX, c.X);
  EXPECT_EQ(s.SenseY, c.SenseY);
}

INSTANTIATE_TEST_SUITE_P(Cases, CCDSensorSense,
                         ::testing::Values(TSenseCase{"At45Degrees", 0, 0, 100, 45, 45, 100},
                                           TSenseCase{"StraightDown", 0, 0, 100, 90, 90, 0},
                                           TSenseCase{"LimitedTo90", 0, 0, 100, 120, 90, 0},
                                           TSenseCase{"ZeroBecomesOne", 0, 10, 1, 0, 1, 67},
                                           TSenseCase{"At60Degrees", 4, 30, 100, 60, 60, 88}),
                         test::TCaseName());

TEST(Sensors, NewSensorsAndCaptions) {
  const TLightSensor light;
  EXPECT_EQ(light.SensorKind, 0);
  EXPECT_EQ(light.Beta, 0);
  const TCCDSensor ccd;
  EXPECT_EQ(ccd.SensorKind, 1);
  EXPECT_EQ(ccd.Alpha, 90);
  EXPECT_FALSE(ccd.HasProjection());
  EXPECT_STREQ(SensorKindNames[1], "CCD");
  EXPECT_STREQ(LightSensorTypeNames[0], "非连续型");
}

TEST(Sensors, SettersRefreshOnlyTheirCoordinate) {
  TLightSensor s;
  s.SetBeta(45);
  s.SetAssembleZ(50);
  EXPECT_EQ(s.SenseY, 50);
  s.SetAssembleX(12);  // X refreshes SenseX only
  EXPECT_EQ(s.SenseX, 12);
  EXPECT_EQ(s.SenseY, 50);
  s.AssembleX = 99;  // a plain write recomputes nothing
  s.SetAssembleY(10);
  EXPECT_EQ(s.SenseX, 12);
  EXPECT_EQ(s.SenseY, 60);
}

// ---- sensed area --------------------------------------------------------------

TEST(SenseArea, TrapezoidWidensTheNearEdge) {
  TCCDSensor s;
  s.ComputeSenseArea({-50, 200}, {-30, 100}, {50, 200}, {30, 100}, 80, 60);
  EXPECT_EQ(s.PixelWidth, 80);
  EXPECT_EQ(s.PixelHeight, 60);
  EXPECT_FLOAT_EQ(s.SenseRect.Left, -50);
  EXPECT_FLOAT_EQ(s.SenseRect.Top, 200);
  EXPECT_FLOAT_EQ(s.SenseRect.Right, 50);
  EXPECT_FLOAT_EQ(s.SenseRect.Bottom, 100);
  const float expected[8] = {0, 80, 106.6667f, -26.6667f, 0, 0, 60, 60};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(s.ImageQuad[i], expected[i], 1e-3) << i;
  EXPECT_TRUE(s.HasProjection());
}

TEST(SenseArea, RectangleFillsTheImage) {
  TCCDSensor s;
  s.ComputeSenseArea({-40, 300}, {-40, 120}, {60, 300}, {60, 120}, 128, 32);
  const float expected[8] = {0, 128, 128, 0, 0, 0, 32, 32};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(s.ImageQuad[i], expected[i], 1e-4) << i;
  EXPECT_TRUE(s.HasProjection());
}

TEST(SenseArea, SkewedQuadMapsItsOwnCornersBack) {
  // A corner of the area that is also a corner of SenseRect lands on its pixel corner.
  TCCDSensor s;
  s.ComputeSenseArea({-70, 260}, {-20, 90}, {40, 240}, {35, 110}, 64, 48);
  EXPECT_NEAR(s.ImageQuad[0], 0, 1e-3);  // TopLeft is SenseRect's top-left
  EXPECT_NEAR(s.ImageQuad[4], 0, 1e-3);
  EXPECT_TRUE(s.HasProjection());
}

struct TDegenerateCase {
  const char* Name;
  TPointF TL, BL, TR, BR;
  int32_t Width, Height;
  bool QuadProper;
};

void PrintTo(const TDegenerateCase& c, std::ostream* os) { *os << c.Name; }

class SenseAreaDegenerate : public ::testing::TestWithParam<TDegenerateCase> {};

TEST_P(SenseAreaDegenerate, StoresFiniteValuesWithoutProjection) {
  const TDegenerateCase& c = GetParam();
  EXPECT_EQ(QuadIsProper(c.TL, c.BL, c.TR, c.BR), c.QuadProper);
  TCCDSensor s;
  s.ComputeSenseArea(c.TL, c.BL, c.TR, c.BR, c.Width, c.Height);
  for (float v : s.ImageQuad) EXPECT_EQ(v, 0.0f);
  for (float v : {s.SenseRect.Left, s.SenseRect.Top, s.SenseRect.Right, s.SenseRect.Bottom})
    EXPECT_TRUE(std::isfinite(v));
  EXPECT_FALSE(s.HasProjection());
}

const float NaN = std::nanf("");

INSTANTIATE_TEST_SUITE_P(
    Cases, SenseAreaDegenerate,
    ::testing::Values(
        TDegenerateCase{"AllZero", {0, 0}, {0, 0}, {0, 0}, {0, 0}, 1, 1, false},
        TDegenerateCase{"ThreeOnALine", {-50, 200}, {-50, 100}, {50, 200}, {0, 200}, 8, 8, false},
        TDegenerateCase{"TwoEqual", {-50, 200}, {-50, 100}, {50, 200}, {50, 200}, 8, 8, false},
        TDegenerateCase{"Crossed", {-50, 200}, {50, 100}, {50, 200}, {-50, 100}, 8, 8, false},
        TDegenerateCase{"Mirrored", {50, 200}, {50, 100}, {-50, 200}, {-50, 100}, 8, 8, false},
        TDegenerateCase{"NotFinite", {NaN, 200}, {-50, 100}, {50, 200}, {50, 100}, 8, 8, false},
        TDegenerateCase{"NoPixels", {-50, 200}, {-50, 100}, {50, 200}, {50, 100}, 0, 8, true}),
    test::TCaseName());

TEST(SenseArea, DegenerateCornersKeepTheirBoundingRectangle) {
  TCCDSensor s;
  s.ComputeSenseArea({-50, 200}, {-50, 100}, {50, 200}, {0, 200}, 8, 8);
  EXPECT_FLOAT_EQ(s.SenseRect.Left, -50);
  EXPECT_FLOAT_EQ(s.SenseRect.Right, 50);
  EXPECT_FLOAT_EQ(s.SenseRect.Top, 200);
  EXPECT_FLOAT_EQ(s.SenseRect.Bottom, 100);
}

TEST(SenseArea, LoadedFieldsDecideTheProjection) {
  TCCDSensor s;
  s.ComputeSenseArea({-50, 200}, {-30, 100}, {50, 200}, {30, 100}, 80, 60);
  ASSERT_TRUE(s.HasProjection());
  TCCDSensor collinear = s;
  collinear.ImageQuad = {0, 40, 80, 0, 0, 0, 0, 60};  // three points on the top row
  EXPECT_FALSE(collinear.HasProjection());
  TCCDSensor infinite = s;
  infinite.ImageQuad[2] = INFINITY;
  EXPECT_FALSE(infinite.HasProjection());
  TCCDSensor emptyRect = s;
  emptyRect.SenseRect.Top = emptyRect.SenseRect.Bottom;
  EXPECT_FALSE(emptyRect.HasProjection());
}

// ---- records --------------------------------------------------------------------

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(SensorRecords, PointSensorIs29BytesInFieldOrder) {
  TLightSensor s;
  s.AssembleX = -1;
  s.AssembleY = 2;
  s.AssembleZ = 3;
  s.SenseX = 4;
  s.SenseY = 5;
  s.Beta = 120;  // out of the setter's range: stored as it is
  s.EffectiveR = 7;
  s.SensorType = 1;
  TStreamWriter w;
  s.SaveToStream(w);
  ASSERT_EQ(w.Data().size(), LightSensorRecordSize);
  EXPECT_EQ(static_cast<uint8_t>(w.Data()[20]), 120);
  EXPECT_EQ(static_cast<uint8_t>(w.Data()[28]), 1);

  TLightSensor back;
  TStreamReader r(w.Data());
  ASSERT_TRUE(back.LoadFromStream(r));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(back.AssembleX, -1);
  EXPECT_EQ(back.SenseY, 5);
  EXPECT_EQ(back.Beta, 120);
  EXPECT_EQ(back.EffectiveR, 7);
  EXPECT_EQ(back.SensorType, 1);
}

TEST(SensorRecords, CCDSensorIs112BytesAndRoundTripsBitForBit) {
  TCCDSensor s;
  s.ComputeSenseArea({-50, 200}, {-30, 100}, {50, 200}, {30, 100}, 80, 60);
  s.SetAssembleZ(100);
  s.SetAlpha(45);
  s.ImageQuad[7] = -0.0f;
  TStreamWriter w;
  s.SaveToStream(w);
  ASSERT_EQ(w.Data().size(), CCDSensorRecordSize);
  // PixelHeight comes before PixelWidth.
  EXPECT_EQ(static_cast<uint8_t>(w.Data()[24]), 60);
  EXPECT_EQ(static_cast<uint8_t>(w.Data()[28]), 80);

  TCCDSensor back;
  TStreamReader r(w.Data());
  ASSERT_TRUE(back.LoadFromStream(r));
  TStreamWriter again;
  back.SaveToStream(again);
  EXPECT_EQ(again.Data(), w.Data());
  EXPECT_EQ(back.SenseY, 100);
  EXPECT_TRUE(SameBits(back.ImageQuad[7], -0.0f));
  EXPECT_TRUE(SameBits(back.BottomLeft.X, -30));
}

TEST(SensorRecords, ShortRecordsAreRefused) {
  TStreamWriter w;
  TCCDSensor().SaveToStream(w);
  const QByteArray shortCcd = w.Data().left(CCDSensorRecordSize - 1);
  TStreamReader r1(shortCcd);
  TCCDSensor ccd;
  EXPECT_FALSE(ccd.LoadFromStream(r1));
  const QByteArray shortLight = w.Data().left(LightSensorRecordSize - 1);
  TStreamReader r2(shortLight);
  TLightSensor light;
  EXPECT_FALSE(light.LoadFromStream(r2));
}

}  // namespace
}  // namespace k2
