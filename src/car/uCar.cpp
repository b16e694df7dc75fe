#include "car/uCar.h"

#include "base/uAssert.h"
#include "base/uSettings.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"

namespace k2 {

namespace {

constexpr char CarTag[] = "CarFile";

float WeightForceOf(int32_t grams) { return static_cast<float>(grams * 9.8 / 1000); }
float WheelDiameterOf(int32_t mm) { return static_cast<float>(mm / 1000.0); }

}  // namespace

TCar::TCar(QImage* drawImage, int32_t span) : DrawImage(drawImage) {
  const bool hasView = drawImage && !drawImage->isNull();
  const int32_t w = hasView ? drawImage->width() : DefaultCarViewSize;
  const int32_t h = hasView ? drawImage->height() : DefaultCarViewSize;
  DrawTransform =
      std::make_unique<TTransformRect>(w, h, static_cast<float>(static_cast<double>(span) / w));
  SteerMotor = std::make_unique<TSteerMotor>();
  Motor = std::make_unique<TMotor>();
  ReadDefaults();
  Motor->WeightForce = WeightForceOf(Weight);
  Motor->WheelDiameter = WheelDiameterOf(WheelD);
}

TCar::~TCar() = default;

void TCar::ReadDefaults() {
  const TIniFile ini(ModelSettingsPath());
  Length = ReadModelInt(ini, SecCar, "Length");
  Width = ReadModelInt(ini, SecCar, "Width");
  Weight = ReadModelInt(ini, SecCar, "Weight");
  Track = ReadModelInt(ini, SecCar, "Track");
  WheelD = ReadModelInt(ini, SecCar, "WheelD");
  WheelBase = ReadModelInt(ini, SecCar, "WheelBase");
  WheelWidth = ReadModelInt(ini, SecCar, "WheelWidth");
  FrontLength = ReadModelInt(ini, SecCar, "FrontLength");
  Ratio = static_cast<float>(ReadModelFloat(ini, SecCar, "Ratio"));
}

// ---- sensors ----------------------------------------------------------------

void TCar::AddLightSensor(std::unique_ptr<TLightSensor> sensor) {
  if (sensor) LightSensors.push_back(std::move(sensor));
}

void TCar::SetCCDSensor(std::unique_ptr<TCCDSensor> sensor) { CCDSensor = std::move(sensor); }

void TCar::DeleteLightSensor(int index) {
  if (index < 0 || index >= static_cast<int>(LightSensors.size())) return;
  LightSensors.erase(LightSensors.begin() + index);
}

void TCar::DeleteCCDSensor() { CCDSensor.reset(); }

void TCar::ClearSensors() {
  LightSensors.clear();
  DeleteCCDSensor();
}

int TCar::SensorCount() const {
  return static_cast<int>(LightSensors.size()) + (CCDSensor ? 1 : 0);
}

// ---- motion -----------------------------------------------------------------

void TCar::SetWeight(int32_t grams) {
  Weight = grams;
  Motor->WeightForce = WeightForceOf(grams);
}

void TCar::SetWheelD(int32_t mm) {
  WheelD = mm;
  Motor->WheelDiameter = WheelDiameterOf(mm);
}

void TCar::ResetMotion(bool resetHeading) {
  SteerAngle = 0;
  Motor->ResetState();
  SteerMotor->ResetState();
  if (resetHeading) Heading = 0;
}

void TCar::StepActuators() {
  SteerMotor->Step();
  Motor->Step();
  SteerAngle = SteerMotor->Angle;
}

float TCar::RatedSpeed() const {
  return static_cast<float>(static_cast<double>(Motor->nRated) * Pi * WheelD / 60000);
}

// ---- files ------------------------------------------------------------------

void TCar::WriteCarRecord(TStreamWriter& s) const {
  for (int32_t v : {Weight, Length, Width, WheelBase, Track, FrontLength, WheelD, WheelWidth})
    s.WriteInt32(v);
  s.WriteInt32(static_cast<int32_t>(LightSensors.size()));
  for (const auto& sensor : LightSensors) sensor->SaveToStream(s);
  if (CCDSensor) {
    s.WriteUInt8(1);
    CCDSensor->SaveToStream(s);
  } else {
    s.WriteUInt8(0);
  }
  SteerMotor->SaveToStream(s);
  Motor->SaveToStream(s);
}

bool TCar::ReadCarRecord(TStreamReader& s) {
  // The record's sensors are appended: a car read into must have none yet.
  K2_ASSERT(LightSensors.empty() && !CCDSensor);

  for (int32_t* v :
       {&Weight, &Length, &Width, &WheelBase, &Track, &FrontLength, &WheelD, &WheelWidth})
    *v = s.ReadInt32();
  const int32_t n = s.ReadInt32();
  // Each point sensor takes a whole record, so a larger count cannot be genuine.
  if (n > 0 && n > s.Remaining() / LightSensorRecordSize) s.Fail();
  std::vector<std::unique_ptr<TLightSensor>> sensors;
  for (int32_t i = 0; i < n && !s.Failed(); ++i) {
    sensors.push_back(std::make_unique<TLightSensor>());
    sensors.back()->LoadFromStream(s);
  }
  std::unique_ptr<TCCDSensor> ccd;
  if (s.ReadUInt8() != 0 && !s.Failed()) {
    ccd = std::make_unique<TCCDSensor>();
    ccd->LoadFromStream(s);
  }
  SteerMotor->LoadFromStream(s);
  Motor->LoadFromStream(s);
  Motor->WeightForce = WeightForceOf(Weight);
  Motor->WheelDiameter = WheelDiameterOf(WheelD);
  if (s.Failed()) return false;
  for (auto& sensor : sensors) LightSensors.push_back(std::move(sensor));
  if (ccd) CCDSensor = std::move(ccd);
  return true;
}

bool TCar::SaveToFile() const {
  TStreamWriter s;
  s.WriteHead(CarTag, FileVersion);
  WriteCarRecord(s);
  return SaveFileAtomic(FileName, s.Data());
}

bool TCar::LoadFromFile() {
  QByteArray data;
  if (!ReadWholeFile(FileName, data)) return false;
  TStreamReader s(data);
  return s.ReadHead(CarTag, FileVersion) && ReadCarRecord(s);
}

}  // namespace k2
