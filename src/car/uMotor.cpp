#include "car/uMotor.h"

#include <cmath>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"

namespace k2 {

float Clamp01(float x) {
  if (x > 1) return 1;
  if (x >= 0) return x;
  return 0;  // below 0, or not a number
}

// ---- TMotor -------------------------------------------------------------------

TMotor::TMotor() { ReadDefaults(); }

void TMotor::ReadDefaults() {
  const TIniFile ini(ModelSettingsPath());
  URated = static_cast<float>(ReadModelFloat(ini, SecMotor, "URated"));
  IRated = static_cast<float>(ReadModelFloat(ini, SecMotor, "IRated"));
  TRated = static_cast<float>(ReadModelFloat(ini, SecMotor, "TRated"));
  nRated = ReadModelInt(ini, SecMotor, "nRated");
  Ra = static_cast<float>(ReadModelFloat(ini, SecMotor, "Ra"));
  L = ReadModelInt(ini, SecMotor, "L");
}

void TMotor::PrepareModel() {
  // Each named intermediate is narrowed to a 32-bit float, as the stored results are.
  const double ra = Ra, wd = WheelDiameter;
  Droop = static_cast<float>(0.05 * nRated);
  const float te = static_cast<float>(L / (ra * 1000));
  const float ce = static_cast<float>((static_cast<double>(URated) - IRated * ra) / nRated);
  const float cm = static_cast<float>(30 * static_cast<double>(ce) / Pi);
  const float tm = static_cast<float>(wd * wd * WeightForce * ra / (375.0 * ce * cm));
  const double invTe = 1 / static_cast<double>(te);
  const float disc = static_cast<float>(invTe * invTe - 4 / (static_cast<double>(te) * tm));
  const double root = std::sqrt(static_cast<double>(disc));
  Root1 = static_cast<float>((root - invTe) * 0.5);
  Root2 = static_cast<float>((-invTe - root) * 0.5);
  FirstOrderFallback =
      !(std::isfinite(te) && te > 0 && std::isfinite(tm) && tm > 0 && std::isfinite(disc) &&
        disc >= 0 && std::isfinite(Root1) && std::isfinite(Root2) && Root1 < 0 && Root2 < 0);
  if (!FirstOrderFallback) return;
  float r = std::isfinite(te) && te > 0 ? static_cast<float>(-1 / (2.0 * te)) : 0.0f;
  if (!std::isfinite(r) || !(r < 0)) r = -1 / MotorFallbackTimeConstant;
  Root1 = r;
  Root2 = r;
}

void TMotor::SetLoadRatio(float miu) {
  const float ratio = static_cast<float>(static_cast<double>(miu) * WeightForce * WheelDiameter /
                                         (2 * static_cast<double>(TRated)));
  LoadRatio = std::isfinite(ratio) ? ratio : 0.0f;
}

void TMotor::SetCommand(float fraction) {
  const float a = Clamp01(fraction);
  if (std::fabs(static_cast<double>(a) - LastCommand) > 0.00001) {
    Elapsed = 0;
    Voltage = static_cast<float>(static_cast<double>(URated) * a);
    StartSpeed = Speed;
    LastCommand = a;
  }
}

void TMotor::Step() {
  const double t = Elapsed, start = StartSpeed;
  const float k = static_cast<float>(1 - (std::exp(Root1 * t) + std::exp(Root2 * t)) * 0.5);
  const float target = static_cast<float>(static_cast<double>(nRated) * Voltage / URated);
  const double droop = static_cast<double>(LoadRatio) * Droop;
  Speed = static_cast<float>(k * (target - start) + (start - droop));
  // Negative, not a number, or run away: at rest.
  if (!(Speed >= 0) || std::isinf(Speed)) Speed = 0;
  Elapsed = Elapsed + StepTime;
}

int32_t TMotor::GetSpeed() const { return RoundHalfEven(Speed); }

void TMotor::ResetState() {
  Elapsed = 0;
  StartSpeed = 0;
  Speed = 0;
  LastCommand = 0;
  Voltage = 0;
}

bool TMotor::LoadFromStream(TStreamReader& s) {
  URated = s.ReadFloat();
  IRated = s.ReadFloat();
  TRated = s.ReadFloat();
  nRated = s.ReadInt32();
  Ra = s.ReadFloat();
  L = s.ReadInt32();
  return !s.Failed();
}

void TMotor::SaveToStream(TStreamWriter& s) const {
  s.WriteFloat(URated);
  s.WriteFloat(IRated);
  s.WriteFloat(TRated);
  s.WriteInt32(nRated);
  s.WriteFloat(Ra);
  s.WriteInt32(L);
}

// ---- TSteerMotor --------------------------------------------------------------

TSteerMotor::TSteerMotor() { ReadDefaults(); }

void TSteerMotor::ReadDefaults() {
  const TIniFile ini(ModelSettingsPath());
  MaxSteerAngle = ReadModelInt(ini, SecSteer, "MaxSteerAngle");
  SteerSpeed = ReadModelInt(ini, SecSteer, "SteerSpeed");
}

void TSteerMotor::SetStepTime(float seconds) {
  StepTime = seconds;
  MaxDelta = static_cast<float>(static_cast<double>(SteerSpeed) * StepTime);
}

void TSteerMotor::SetCommand(float fraction) {
  const float a = Clamp01(fraction);
  Command = a;
  TargetAngle = static_cast<float>(2.0 * MaxSteerAngle * a - MaxSteerAngle);
}

void TSteerMotor::Step() {
  const float delta = std::fabs(MaxDelta);
  const float sign = Angle > TargetAngle ? -1.0f : 1.0f;
  if (std::fabs(Angle - TargetAngle) > delta)
    Angle = Angle + sign * delta;
  else
    Angle = TargetAngle;
}

void TSteerMotor::ResetState() {
  Angle = 0;
  Command = 0.5f;
  TargetAngle = 0;
}

bool TSteerMotor::LoadFromStream(TStreamReader& s) {
  MaxSteerAngle = s.ReadInt32();
  SteerSpeed = s.ReadInt32();
  return !s.Failed();
}

void TSteerMotor::SaveToStream(TStreamWriter& s) const {
  s.WriteInt32(MaxSteerAngle);
  s.WriteInt32(SteerSpeed);
}

}  // namespace k2
