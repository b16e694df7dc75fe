#include "simulation/uSimu.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "base/uAssert.h"
#include "base/uCpu.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "car/uMotor.h"
#include "car/uSensor.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"

namespace k2 {

namespace {

bool FileExists(const QString& path) {
  const QFileInfo info(path);
  return !path.isEmpty() && info.exists() && info.isFile();
}

uint16_t CommandCell(float fraction) {
  return static_cast<uint16_t>(std::clamp(RoundHalfEven(fraction * 65535.0), 0, 65535));
}

}  // namespace

TSimu::TSimu(QImage* drawImage, QImage* viewImage, QImage* sensorImage, QImage* ccdImage)
    : TSimu(drawImage, nullptr, viewImage, sensorImage, ccdImage, RunMainSpan) {}

TSimu::TSimu(QImage* drawImage, TCar* borrowed, QImage* viewImage, QImage* sensorImage,
             QImage* ccdImage, int32_t drawSpan)
    : Views(drawImage, viewImage, sensorImage, ccdImage, SimuSensorsSize) {
  if (borrowed) {
    Car = borrowed;
    TestMode = true;
  } else {
    OwnedCar = std::make_unique<TCar>(drawImage, RunMainSpan);
    Car = OwnedCar.get();
  }
  Track = std::make_unique<TPath>(drawImage, drawSpan, viewImage, RunOverviewSpan);
}

std::unique_ptr<TSimu> TSimu::CreateForTest(QImage* drawImage, TCar* car, QImage* viewImage,
                                            QImage* sensorImage, QImage* ccdImage) {
  std::unique_ptr<TSimu> s(
      new TSimu(drawImage, car, viewImage, sensorImage, ccdImage, CarTestMainSpan));
  s->SetupCcd();
  s->SetupSensorArrays();
  s->CarLoaded = true;
  s->TrackLoaded = true;
  s->LapTracking = false;
  return s;
}

TSimu::~TSimu() = default;

// ---- loading ----------------------------------------------------------------

bool TSimu::LoadTrack(const QString& path) {
  if (!FileExists(path)) return false;
  Track->Clear();
  Track->FileName = path;
  // A track without elements cannot be driven: every deviation would be undefined.
  TrackLoaded = Track->LoadFromFile() && !Track->Elements.empty();
  if (!TrackLoaded) Track->Clear();
  Index.Build(*Track);
  LapTracker.Start(*Track);
  Views.Forget();
  if (!TrackLoaded) return false;
  TrackFileName = FilePart(path);
  return true;
}

bool TSimu::LoadCar(const QString& path) {
  if (!FileExists(path)) return false;
  Car->ClearSensors();
  Car->FileName = path;
  CarLoaded = Car->LoadFromFile();
  if (!CarLoaded) Car->ClearSensors();
  SetupCcd();
  SetupSensorArrays();
  if (CarLoaded) CarFileName = FilePart(path);
  return CarLoaded;
}

bool TSimu::LoadJudge(const QString& path) {
  if (!FileExists(path)) return false;
  JudgeLoaded = Module.Load(path);
  if (JudgeLoaded) JudgeFileName = FilePart(path);
  return JudgeLoaded;
}

void TSimu::SetupSensorArrays() {
  const size_t n = Car->LightSensors.size();
  Readings.assign(n, 0);
  SensorPoints.assign(n, TPointF{});
  SensorPolars(*Car, Polars);
  Views.LayOut(*Car);
}

void TSimu::SetupCcd() {
  Ccd.reset();
  if (Car->CCDSensor) {
    auto camera = std::make_unique<TCcdCamera>();
    if (camera->Setup(*Car->CCDSensor, Views.CcdImage())) Ccd = std::move(camera);
  }
  if (TestMode) return;  // no module is ever bound in car test mode
  // The module's buffers are sized once per car, so that steps never reallocate.
  const size_t pixels = Ccd ? static_cast<size_t>(Ccd->Width()) * Ccd->Height() : 0;
  if (!Module.Reserve(Car->LightSensors.size(), pixels)) Ccd.reset();
}

// ---- run state --------------------------------------------------------------

void TSimu::SetInitialHeading() {
  if (!Car) return;
  if (!TrackLoaded || Track->Elements.empty()) {
    Car->Heading = 0;
    return;
  }
  const TPathElement& first = *Track->Elements.front();
  if (first.Kind == 0) {
    Car->Heading = DirectionAngle(first.StartPoint, first.EndPoint) - 90;
  } else {
    const auto& arc = static_cast<const TArcData&>(first);
    Car->Heading = arc.SweepAngle >= 0 ? arc.StartAngle : arc.StartAngle - 180;
  }
}

bool TSimu::ResetRun() {
  TimeMs = 0;
  VelocityX = VelocityY = 0;
  Pos = TPointF{};
  Acc = Warp = Speed = 0;
  Track->DrawTransform->SetOffset(TPointF{});
  Car->ResetMotion(false);
  LapTracker.Restart();
  if (TestMode || !JudgeLoaded) return true;
  if (Module.CallReset()) return true;
  // A module that fails in Reset is released, as a module that fails to load.
  Module.Release();
  JudgeLoaded = false;
  return false;
}

bool TSimu::Prepare() {
  // The car test loads its track itself.
  Index.Build(*Track);
  LapTracker.Start(*Track);
  SetInitialHeading();
  const bool reset = ResetRun();
  Views.DrawStill(TrackLoaded ? Track.get() : nullptr, CarLoaded ? Car : nullptr, Pos, Readings);
  if (CarLoaded) {
    Car->Motor->PrepareModel();
    Car->Motor->SetLoadRatio(Track->Miu);
    Records.SensorCount = static_cast<int32_t>(Car->LightSensors.size());
  }
  return reset;
}

void TSimu::SetStepMs(int32_t ms) {
  StepMs = ms;
  if (!Car) return;
  const float seconds = static_cast<float>(ms / 1000.0);
  Car->SteerMotor->SetStepTime(seconds);
  Car->Motor->StepTime = seconds;
}

// ---- one step ---------------------------------------------------------------

bool TSimu::Step() {
  // The per-sensor arrays are sized for the car as it is (the car test's car cannot be
  // edited while it runs).
  K2_ASSERT(Car && Track);
  K2_ASSERT(Readings.size() == Car->LightSensors.size() && Polars.size() == Readings.size());
  K2_ASSERT(Index.Count() == static_cast<int32_t>(Track->Elements.size()));
  K2_ASSERT(LapTracker.Course().Count() == Index.Count());
  ClearUpperVectorState();  // Qt's drawing since the last step leaves it dirty
  UpdatePosition();
  UpdateWarp();
  UpdateSpeed();
  PlaceSensorPoints(Polars, Pos, Car->Heading, SensorPoints);
  ReadLightSensors(*Track, Index, *Car, SensorPoints, Readings, Scratch);
  if (Ccd) {
    Ccd->Render(*Track, &Index, Pos, Car->Heading);
    ClearUpperVectorState();
  }
  Car->StepActuators();  // the motor advances a second time here
  Track->DrawTransform->SetOffset(MakePointF(-Pos.X, -Pos.Y));
  TimeMs += StepMs;
  const bool ok = TestMode || !JudgeLoaded || CallJudge();
  if (ok && LapTracking) LapTracker.AddStep(Pos, Warp, StepMs);
  return ok;
}

void TSimu::UpdatePosition() {
  const float d = Car->SteerAngle;
  const float dt = static_cast<float>(StepMs);
  if (d == 0) {
    Pos.X = Pos.X + dt * VelocityX;
    Pos.Y = Pos.Y + dt * VelocityY;
    return;
  }
  const float h0 = Car->Heading + 90;
  // The named values are floats; everything between them is worked out in double.
  const float r = static_cast<float>(1.0 / std::tan(d * DegToRad) * Car->WheelBase);
  const double v = std::hypot(static_cast<double>(VelocityX), static_cast<double>(VelocityY));
  const float a = static_cast<float>(v * dt / r);
  const float c = static_cast<float>(std::fabs(2 * std::sin(a * 0.5) * r));
  Car->Heading = static_cast<float>(Car->Heading + a * RadToDeg);
  const float p = static_cast<float>(h0 * DegToRad + a * 0.5);
  Pos.X = static_cast<float>(Pos.X + std::cos(static_cast<double>(p)) * c);
  Pos.Y = static_cast<float>(Pos.Y + std::sin(static_cast<double>(p)) * c);
}

void TSimu::UpdateWarp() {
  if (Track->Elements.empty()) return;  // nothing to measure from: keep the last value
  Warp = NearestDistance(*Track, Index, Pos, Scratch);
}

void TSimu::UpdateSpeed() {
  Car->Motor->Step();
  const int32_t n = Car->Motor->GetSpeed();
  const float v = static_cast<float>(n * Pi * Car->WheelD / 60000);
  Acc = static_cast<float>((static_cast<double>(v) - Speed) * 1000 / StepMs);
  Speed = v;
  const double h = (Car->Heading + 90.0) * DegToRad;
  VelocityX = static_cast<float>(v * std::cos(h));
  VelocityY = static_cast<float>(v * std::sin(h));
}

bool TSimu::CallJudge() {
  uint16_t motor = CommandCell(Car->Motor->LastCommand);
  uint16_t steer = CommandCell(Car->SteerMotor->Command);
  const uint16_t lightCount = static_cast<uint16_t>(std::min<size_t>(Readings.size(), 65535));
  const size_t pixels = Ccd ? static_cast<size_t>(Ccd->Width()) * Ccd->Height() : 0;
  // The buffers were sized with the car; this only fails when the shared memory cannot
  // be had at all, and then there is nothing to fill.
  if (!Module.Reserve(lightCount, pixels)) return false;
  uint8_t* light = Module.LightBuffer();
  std::copy_n(Readings.data(), lightCount, light);
  int32_t w = 0, h = 0;
  uint8_t* picture = nullptr;
  if (Ccd) {
    // The picture is written straight into the module's shared buffer.
    picture = Module.CcdBuffer();
    Ccd->Grey(picture);
    w = Ccd->Width();
    h = Ccd->Height();
  }
  const bool ok = Module.CallJudge(Car->Motor->GetSpeed(), lightCount ? light : nullptr, lightCount,
                                   picture, w, h, motor, steer);
  // The cells count as they stand, also after a failed call.
  Car->Motor->SetCommand(static_cast<float>(motor / 65535.0));
  Car->SteerMotor->SetCommand(static_cast<float>(steer / 65535.0));
  return ok;
}

// ---- records ----------------------------------------------------------------

void TSimu::AddRecord() {
  const float fields[7] = {Pos.X, Pos.Y, Car->Heading, Car->SteerAngle, Speed, Acc, Warp};
  Records.Add(fields, Readings.data(), static_cast<int32_t>(Readings.size()));
}

bool TSimu::SaveToFile() {
  LastError.clear();
  Records.SensorCount = static_cast<int32_t>(Car->LightSensors.size());
  return WriteRecordFile(RecordFile, {TrackFileName, CarFileName, JudgeFileName}, StepMs, *Track,
                         *Car, Records, LastError);
}

// ---- views ------------------------------------------------------------------

void TSimu::DrawFrame() {
  K2_ASSERT(Car && Track);
  Views.DrawFrame(*Track, *Car, Pos, Records, Records.Count() - 1, Readings, Ccd.get());
}

void TSimu::ClearViews() {
  Views.Clear(!TestMode);
  Car->ResetMotion(true);
}

float TSimu::FrontWheelAngle() const { return Car ? Car->SteerAngle : 0; }

}  // namespace k2
