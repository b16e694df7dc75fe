#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "base/uStream.h"
#include "car/uMotor.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

// A motor with the default ratings on a 2500 g car with 40 mm wheels, stepped at 10 ms.
class MotorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Motor.WeightForce = 24.5f;
    Motor.WheelDiameter = 0.04f;
    Motor.StepTime = 0.01f;
  }
  test::TTempDir Dir;  // no settings file: built-in defaults
  TMotor Motor;
};

TEST_F(MotorTest, DefaultsHaveTheWorkedRoots) {
  EXPECT_FLOAT_EQ(Motor.URated, 7.4f);
  EXPECT_FLOAT_EQ(Motor.IRated, 0.2f);
  EXPECT_FLOAT_EQ(Motor.TRated, 10.0f);
  EXPECT_EQ(Motor.nRated, 3000);
  EXPECT_FLOAT_EQ(Motor.Ra, 0.2f);
  EXPECT_EQ(Motor.L, 15);
  Motor.PrepareModel();
  EXPECT_FALSE(Motor.FirstOrderFallback);
  EXPECT_NEAR(Motor.Root1, -3.8758, 1e-4);
  EXPECT_NEAR(Motor.Root2, -9.4575, 1e-4);
  EXPECT_FLOAT_EQ(Motor.Droop, 150);
  Motor.SetLoadRatio(0.01f);
  EXPECT_NEAR(Motor.LoadRatio, 0.00049, 1e-8);
}

TEST_F(MotorTest, SpeedSequenceFromRest) {
  Motor.PrepareModel();
  Motor.SetLoadRatio(0.01f);
  Motor.SetCommand(1.0f);
  const float speeds[] = {0, 192.3f, 370.3f, 535.1f, 687.8f, 829.4f};
  const int32_t whole[] = {0, 192, 370, 535, 688, 829};
  for (int i = 0; i < 6; ++i) {
    Motor.Step();
    EXPECT_NEAR(Motor.Speed, speeds[i], 0.06) << "step " << i;
    EXPECT_EQ(Motor.GetSpeed(), whole[i]) << "step " << i;
  }
}

TEST_F(MotorTest, LoadDroopIsTakenAtOnceOnACommandChange) {
  Motor.PrepareModel();
  Motor.SetLoadRatio(0.01f);
  Motor.Speed = 1000;
  Motor.SetCommand(0.5f);
  Motor.Step();
  EXPECT_NEAR(Motor.Speed, 1000 - 0.0735, 1e-3);
  EXPECT_FLOAT_EQ(Motor.StartSpeed, 1000);
}

struct TCommandCase {
  const char* Name;
  float First, Second;
  bool Restarts;
};

void PrintTo(const TCommandCase& c, std::ostream* os) { *os << c.First << " then " << c.Second; }

class MotorCommandThreshold : public MotorTest,
                              public ::testing::WithParamInterface<TCommandCase> {};

TEST_P(MotorCommandThreshold, OnlyAClearChangeRestartsTheTransient) {
  const TCommandCase& c = GetParam();
  Motor.PrepareModel();
  Motor.SetCommand(c.First);
  for (int i = 0; i < 5; ++i) Motor.Step();
  const float speed = Motor.Speed;
  const float elapsed = Motor.Elapsed;
  Motor.SetCommand(c.Second);
  if (c.Restarts) {
    EXPECT_EQ(Motor.Elapsed, 0);
    EXPECT_EQ(Motor.StartSpeed, speed);
    EXPECT_EQ(Motor.LastCommand, c.Second);
  } else {
    EXPECT_EQ(Motor.Elapsed, elapsed);
    EXPECT_EQ(Motor.LastCommand, c.First);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MotorCommandThreshold,
                         ::testing::Values(TCommandCase{"TinyRiseAtFull", 1.0f, 1.000005f, false},
                                           TCommandCase{"SmallDrop", 1.0f, 0.99998f, true},
                                           TCommandCase{"SameCommand", 0.5f, 0.5f, false},
                                           TCommandCase{"SmallRise", 0.5f, 0.50002f, true}),
                         test::TCaseName());

struct TClampCase {
  const char* Name;
  float In, Out;
};

void PrintTo(const TClampCase& c, std::ostream* os) { *os << c.In; }

class CommandClamp : public MotorTest, public ::testing::WithParamInterface<TClampCase> {};

TEST_P(CommandClamp, MotorAndServoClampTheirCommand) {
  const TClampCase& c = GetParam();
  EXPECT_EQ(Clamp01(c.In), c.Out);
  Motor.SetCommand(c.Out == 0 ? 1.0f : 0.0f);  // make the next one a change
  Motor.SetCommand(c.In);
  EXPECT_EQ(Motor.LastCommand, c.Out);
  EXPECT_FLOAT_EQ(Motor.Voltage, Motor.URated * c.Out);
  TSteerMotor servo;
  servo.SetCommand(c.In);
  EXPECT_EQ(servo.Command, c.Out);
  EXPECT_FLOAT_EQ(servo.TargetAngle, 80 * c.Out - 40);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandClamp,
                         ::testing::Values(TClampCase{"Negative", -3, 0},
                                           TClampCase{"AboveOne", 7, 1},
                                           TClampCase{"Inside", 0.25f, 0.25f},
                                           TClampCase{"NotANumber", std::nanf(""), 0}),
                         test::TCaseName());

TEST_F(MotorTest, RecordHoldsTheRatingsOnly) {
  TStreamWriter w;
  Motor.SaveToStream(w);
  const QByteArray expected = test::LEFloat(7.4f) + test::LEFloat(0.2f) + test::LEFloat(10.0f) +
                              test::LE32(3000) + test::LEFloat(0.2f) + test::LE32(15);
  EXPECT_EQ(w.Data(), expected);

  TMotor other;
  other.URated = 1;
  other.Speed = 55;  // run-time state survives loading
  TStreamReader r(expected);
  ASSERT_TRUE(other.LoadFromStream(r));
  EXPECT_EQ(other.URated, 7.4f);
  EXPECT_EQ(other.L, 15);
  EXPECT_EQ(other.Speed, 55);
  const QByteArray shortRecord = expected.left(MotorRecordSize - 1);
  TStreamReader cut(shortRecord);
  EXPECT_FALSE(other.LoadFromStream(cut));
}

TEST_F(MotorTest, ResetStateStopsTheMotor) {
  Motor.PrepareModel();
  Motor.SetCommand(1);
  for (int i = 0; i < 3; ++i) Motor.Step();
  Motor.ResetState();
  EXPECT_EQ(Motor.Speed, 0);
  EXPECT_EQ(Motor.StartSpeed, 0);
  EXPECT_EQ(Motor.Elapsed, 0);
  EXPECT_EQ(Motor.LastCommand, 0);
  EXPECT_EQ(Motor.Voltage, 0);
}

// ---- ratings the model cannot evaluate -----------------------------------------

struct TFallbackCase {
  const char* Name;
  float Ra, IRated, URated;
  int32_t nRated, L;
  float Root;  // expected for both roots
};

void PrintTo(const TFallbackCase& c, std::ostream* os) { *os << c.Name; }

class MotorFallback : public MotorTest, public ::testing::WithParamInterface<TFallbackCase> {};

TEST_P(MotorFallback, FirstOrderResponseNeverNaN) {
  const TFallbackCase& c = GetParam();
  Motor.Ra = c.Ra;
  Motor.IRated = c.IRated;
  Motor.URated = c.URated;
  Motor.nRated = c.nRated;
  Motor.L = c.L;
  Motor.PrepareModel();
  EXPECT_TRUE(Motor.FirstOrderFallback);
  EXPECT_NEAR(Motor.Root1, c.Root, 1e-4);
  EXPECT_EQ(Motor.Root1, Motor.Root2);
  Motor.SetLoadRatio(0.01f);
  Motor.SetCommand(1);
  float last = 0;
  for (int i = 0; i < 300; ++i) {
    Motor.Step();
    ASSERT_TRUE(std::isfinite(Motor.Speed)) << "step " << i;
    ASSERT_GE(Motor.Speed, last) << "step " << i;
    last = Motor.Speed;
  }
  // A first-order response has reached 1 - exp(-3 s / Tf) of its target.
  const float target = static_cast<float>(Motor.nRated) - Motor.LoadRatio * Motor.Droop;
  EXPECT_NEAR(Motor.Speed, target * (1 - std::exp(c.Root * 2.99f)), 0.5);
}

// Roots -1 / (2 Te): Te = 0.075 s for the default L and Ra, 0.03 s for Ra = 0.5; L = 30 mH
// makes Te = 0.15 s > Tm / 4.  Without a usable Te the time constant is 0.1 s.
INSTANTIATE_TEST_SUITE_P(
    Cases, MotorFallback,
    ::testing::Values(TFallbackCase{"NoResistance", 0, 0.2f, 7.4f, 3000, 15, -10},
                      TFallbackCase{"NoResistanceNoInductance", 0, 0.2f, 7.4f, 3000, 0, -10},
                      TFallbackCase{"NoRatedSpeed", 0.2f, 0.2f, 7.4f, 0, 15, -6.6667f},
                      TFallbackCase{"NoBackEmf", 0.5f, 0.5f, 0.25f, 3000, 15, -16.6667f},
                      TFallbackCase{"Oscillating", 0.2f, 0.2f, 7.4f, 3000, 30, -3.3333f},
                      TFallbackCase{"NegativeInductance", 0.2f, 0.2f, 7.4f, 3000, -15, -10}),
    test::TCaseName());

TEST_F(MotorTest, LoadRatioWithoutRatedTorqueIsZero) {
  Motor.TRated = 0;
  Motor.SetLoadRatio(0.01f);
  EXPECT_EQ(Motor.LoadRatio, 0);
}

// ---- servo --------------------------------------------------------------------------

class ServoTest : public ::testing::Test {
 protected:
  test::TTempDir Dir;
  TSteerMotor Servo;
};

TEST_F(ServoTest, DefaultsAndReset) {
  EXPECT_EQ(Servo.MaxSteerAngle, 40);
  EXPECT_EQ(Servo.SteerSpeed, 30);
  EXPECT_EQ(Servo.Command, 0);  // never reset
  Servo.ResetState();
  EXPECT_EQ(Servo.Command, 0.5f);
  EXPECT_EQ(Servo.Angle, 0);
  EXPECT_EQ(Servo.TargetAngle, 0);
}

TEST_F(ServoTest, ReachesFullLockAfter134Steps) {
  Servo.ResetState();
  Servo.SetStepTime(0.01f);
  EXPECT_FLOAT_EQ(Servo.MaxDelta, 0.3f);
  Servo.SetCommand(1.0f);
  EXPECT_EQ(Servo.TargetAngle, 40);
  for (int i = 0; i < 133; ++i) Servo.Step();
  EXPECT_NEAR(Servo.Angle, 39.9, 1e-3);
  Servo.Step();
  EXPECT_EQ(Servo.Angle, 40);
  Servo.SetCommand(0.5f);
  for (int i = 0; i < 134; ++i) Servo.Step();
  EXPECT_EQ(Servo.Angle, 0);
  Servo.SetCommand(0);
  EXPECT_EQ(Servo.TargetAngle, -40);
  Servo.Step();
  EXPECT_FLOAT_EQ(Servo.Angle, -0.3f);
}

TEST_F(ServoTest, NegativeRateStillMovesTowardsTheTarget) {
  Servo.SteerSpeed = -30;
  Servo.SetStepTime(0.01f);
  Servo.SetCommand(1.0f);
  for (int i = 0; i < 200; ++i) Servo.Step();
  EXPECT_EQ(Servo.Angle, 40);
}

TEST_F(ServoTest, RecordIsEightBytes) {
  TStreamWriter w;
  Servo.SaveToStream(w);
  EXPECT_EQ(w.Data(), test::LE32(40) + test::LE32(30));
  TSteerMotor other;
  const QByteArray record = test::LE32(25) + test::LE32(90);
  TStreamReader r(record);
  ASSERT_TRUE(other.LoadFromStream(r));
  EXPECT_EQ(other.MaxSteerAngle, 25);
  EXPECT_EQ(other.SteerSpeed, 90);
}

TEST(ActuatorDefaults, ComeFromTheSettingsFile) {
  test::TTempDir dir;
  dir.WriteSettings(
      QStringLiteral("[DefaultMotorParam]\nURated=12\nnRated=5000\nL=3\n"
                     "[DefaultSteerMotorParam]\nMaxSteerAngle=25\n"));
  const TMotor motor;
  EXPECT_EQ(motor.URated, 12.0f);
  EXPECT_EQ(motor.nRated, 5000);
  EXPECT_EQ(motor.L, 3);
  EXPECT_FLOAT_EQ(motor.IRated, 0.2f);  // missing key: the model default
  const TSteerMotor servo;
  EXPECT_EQ(servo.MaxSteerAngle, 25);
  EXPECT_EQ(servo.SteerSpeed, 30);
}

}  // namespace
}  // namespace k2
