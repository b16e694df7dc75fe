#pragma once
// The two actuators of a car: the DC drive motor and the steering servo.  Both are
// owned by their car, which keeps the motor's weight force and wheel diameter in step
// with its own fields.  Commands are fractions 0..1; the step length is given by the
// simulation engine (seconds).
#include <cstdint>

namespace k2 {

class TStreamReader;
class TStreamWriter;

// 1 above 1, 0 below 0, otherwise x.  A value that is not a number counts as 0, so a
// stray NaN can never reach an actuator.
float Clamp01(float x);

constexpr int MotorRecordSize = 24;
constexpr int SteerMotorRecordSize = 8;

// Time constant of the fallback response when Te gives none, seconds.
constexpr float MotorFallbackTimeConstant = 0.1f;

// Speed follows a drive command through the blend 1 - (exp(Root1 t) + exp(Root2 t)) / 2
// of the two roots of Te Tm s^2 + Tm s + 1 = 0, computed from the rating plate, the
// car's weight force and its wheel diameter.
//
// Fallback: when PrepareModel cannot evaluate the ratings (Ra = 0, nRated = 0,
// URated = IRated x Ra, an oscillating motor with disc < 0, Te or Tm not positive, a
// root that rounds to 0 or above, or any intermediate not finite), both roots are set
// to -1 / Tf, which makes the response the first-order 1 - exp(-t / Tf).  Tf is 2 x Te
// (the decay time of the envelope of an oscillating response) when Te is finite and
// positive, otherwise MotorFallbackTimeConstant.  FirstOrderFallback then reads true.
// Speed is never NaN: Step puts a speed that is negative or not finite at 0.
class TMotor {
 public:
  // Reads the ratings from the model settings file; every run-time field is 0.
  TMotor();

  float WeightForce = 0;    // N, set by the car
  float WheelDiameter = 0;  // m, set by the car
  // Rating plate (the persistent parameters).
  float TRated = 0;    // N·m
  float URated = 0;    // V
  float IRated = 0;    // A
  int32_t nRated = 0;  // rpm
  float Ra = 0;        // Ω
  int32_t L = 0;       // mH
  // Run-time state.
  float StepTime = 0;               // s, written by the simulation engine
  float Elapsed = 0;                // s since the last accepted command change
  float LastCommand = 0;            // 0..1
  float Root1 = 0;                  // 1/s
  float Root2 = 0;                  // 1/s
  float Droop = 0;                  // rpm lost at rated load: 0.05 x nRated
  float LoadRatio = 0;              // load torque / TRated, written by the simulation engine
  float Speed = 0;                  // rpm, never negative
  float StartSpeed = 0;             // Speed at the last accepted command change
  float Voltage = 0;                // V, commanded armature voltage
  bool FirstOrderFallback = false;  // set by PrepareModel

  void ReadDefaults();
  // Computes Droop, Root1 and Root2 from the final ratings, weight and wheel.
  void PrepareModel();
  // LoadRatio := miu x WeightForce x WheelDiameter / (2 x TRated): the rolling
  // friction at the wheel radius.  0 when that is not finite (TRated = 0).
  void SetLoadRatio(float miu);
  // Accepts a command that differs from the last one by more than 0.00001; a new
  // command restarts the transient from the current speed.
  void SetCommand(float fraction);
  // Evaluates the response at Elapsed, then advances Elapsed by StepTime.
  void Step();
  // Speed in whole rpm, halves to even.
  int32_t GetSpeed() const;
  void ResetState();  // Elapsed, StartSpeed, Speed, LastCommand, Voltage := 0

  // The 24-byte record of the ratings: URated, IRated, TRated, nRated, Ra, L.
  bool LoadFromStream(TStreamReader& s);
  void SaveToStream(TStreamWriter& s) const;
};

// Turns the front wheels towards the commanded angle by at most MaxDelta per step.
// A positive angle steers left; command 0.5 is straight ahead.
class TSteerMotor {
 public:
  // Reads MaxSteerAngle and SteerSpeed from the model settings file; run-time fields 0.
  TSteerMotor();

  int32_t MaxSteerAngle = 0;  // degrees either way
  int32_t SteerSpeed = 0;     // degrees per second
  float StepTime = 0;         // s
  float TargetAngle = 0;      // degrees
  float Angle = 0;            // degrees
  float Command = 0;          // 0..1
  float MaxDelta = 0;         // degrees per step: SteerSpeed x StepTime

  void ReadDefaults();
  void SetStepTime(float seconds);
  // TargetAngle := 2 x MaxSteerAngle x a - MaxSteerAngle for the clamped fraction a.
  void SetCommand(float fraction);
  // Moves Angle towards TargetAngle by |MaxDelta|, landing on it exactly when closer;
  // Angle never moves away from the target, whatever the sign of SteerSpeed.
  void Step();
  void ResetState();  // Angle := 0, Command := 0.5, TargetAngle := 0

  // The 8-byte record: MaxSteerAngle, SteerSpeed.
  bool LoadFromStream(TStreamReader& s);
  void SaveToStream(TStreamWriter& s) const;
};

}  // namespace k2
