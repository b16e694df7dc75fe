#include "replay/uReplay.h"

#include <algorithm>
#include <cstdint>

#include "base/uAssert.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "car/uSensor.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"

namespace k2 {

TReplay::TReplay(QImage* drawImage, int32_t drawSpan, QImage* viewImage, int32_t viewSpan,
                 QImage* sensorImage, QImage* ccdImage)
    : Track(std::make_unique<TPath>(drawImage, drawSpan, viewImage, viewSpan)),
      Car(std::make_unique<TCar>(drawImage, drawSpan)),
      Views(drawImage, viewImage, sensorImage, ccdImage, ReplaySensorsSize) {}

TReplay::~TReplay() = default;

bool TReplay::LoadFromFile() {
  QByteArray bytes;
  if (!ReadWholeFile(RecordFile, bytes)) return false;
  TRecordNames names;
  if (!ReadRecordFile(bytes, names, SimStepMs, *Track, *Car, Records)) return false;
  TrackFileName = names.Track;
  CarFileName = names.Car;
  JudgeFileName = names.Judge;
  RecordCount = Records.Count();
  // Both factors come from the file: keep their product inside the 32-bit range.
  const int64_t total = static_cast<int64_t>(SimStepMs) * std::max(RecordCount - 1, 0);
  TotalMs = static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
  Index = 0;
  StepMs = SimStepMs;
  StepRecords = 1;

  Elements.Build(*Track);
  Views.Forget();
  Readings.assign(Car->LightSensors.size(), 0);

  Views.LayOut(*Car);
  Ccd.reset();
  if (Car->CCDSensor) {
    auto camera = std::make_unique<TCcdCamera>();
    if (camera->Setup(*Car->CCDSensor, Views.CcdImage())) Ccd = std::move(camera);
  }
  return true;
}

void TReplay::ApplyRecord() {
  if (Index < 0 || Index >= RecordCount) return;
  const float* f = Records.Fields(Index);
  Pos = MakePointF(f[0], f[1]);
  Car->Heading = f[2];
  Car->SteerAngle = f[3];
  Speed = f[4];
  Acc = f[5];
  Warp = f[6];
  std::copy_n(Records.Readings(Index), std::min<size_t>(Records.Stride(), Readings.size()),
              Readings.begin());
  Track->DrawTransform->SetOffset(MakePointF(-Pos.X, -Pos.Y));
  if (Ccd) Ccd->Render(*Track, &Elements, Pos, Car->Heading);
}

void TReplay::DrawInitial() {
  ApplyRecord();
  Views.DrawStill(Track.get(), Car.get(), Pos, Readings);
}

void TReplay::DrawFrame() {
  K2_ASSERT(Index >= 0 && (RecordCount == 0 || Index < RecordCount));
  // The trail starts with step 2.
  Views.DrawFrame(*Track, *Car, Pos, Records, Index >= 2 ? Index : -1, Readings, Ccd.get());
}

void TReplay::ClearViews() {
  // The rasters keep their size (they belong to the page); emptied means transparent.
  Views.Clear(true);
}

float TReplay::FrontWheelAngle() const { return Car->SteerAngle; }

void TReplay::SetStepMs(int32_t ms) {
  StepMs = std::max(ms, SimStepMs);
  StepRecords =
      SimStepMs > 0 ? std::max(1, RoundHalfEven(static_cast<double>(StepMs) / SimStepMs)) : 1;
}

void TReplay::StepForward() {
  Index = std::min(Index + StepRecords, std::max(RecordCount - 1, 0));
  ApplyRecord();
}

void TReplay::StepBack() {
  Index = std::max(Index - StepRecords, 0);
  ApplyRecord();
}

void TReplay::SeekIndex(int32_t index) {
  Index = std::clamp(index, 0, std::max(RecordCount - 1, 0));
  ApplyRecord();
}

}  // namespace k2
