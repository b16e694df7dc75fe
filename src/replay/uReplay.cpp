#include "replay/uReplay.h"

#include <algorithm>
#include <cstdint>

#include "app/uStream.h"
#include "car/uCar.h"
#include "car/uSensor.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"

namespace k2 {

TReplay::TReplay(QImage* drawImage, int32_t drawSpan, QImage* viewImage, int32_t viewSpan,
                 QImage* sensorImage, QImage* ccdImage)
    : Track(std::make_unique<TPath>(drawImage, drawSpan, viewImage, viewSpan)),
      Car(std::make_unique<TCar>(drawImage, drawSpan)),
      DrawImage(drawImage),
      ViewImage(viewImage),
      SensorImage(sensorImage),
      CcdImage(ccdImage) {}

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

  const size_t n = Car->LightSensors.size();
  Readings.assign(n, 0);
  SensorDots.clear();
  if (n > 0) {
    const int32_t w = SensorImage && !SensorImage->isNull() ? SensorImage->width() : 338;
    const int32_t h = SensorImage && !SensorImage->isNull() ? SensorImage->height() : 110;
    LayoutSensorDots(*Car, SensorBounds(*Car), w, h, SensorDots);
  }
  Ccd.reset();
  if (Car->CCDSensor) {
    auto camera = std::make_unique<TCcdCamera>();
    if (camera->Setup(*Car->CCDSensor, CcdImage)) Ccd = std::move(camera);
  }
  return true;
}

void TReplay::ApplyRecord() {
  if (Index < 0 || Index >= RecordCount) return;
  const TRecordData& r = *Records.Items[static_cast<size_t>(Index)];
  Car->Heading = r.Heading;
  Car->SteerAngle = r.SteerAngle;
  Pos = MakePointF(r.PosX, r.PosY);
  Speed = r.Speed;
  Acc = r.Acc;
  Warp = r.Warp;
  std::copy_n(r.Readings.begin(), std::min(r.Readings.size(), Readings.size()), Readings.begin());
  Track->DrawTransform->SetOffset(MakePointF(-Pos.X, -Pos.Y));
  if (Ccd) Ccd->Render(*Track, Pos, Car->Heading);
}

void TReplay::DrawInitial() {
  ApplyRecord();
  DrawTrackViews(*Track, Pos);
  Car->Draw();
  if (!Car->LightSensors.empty()) DrawSensorDisplay(SensorImage, SensorDots, Readings);
  if (Car->CCDSensor) FillRaster(CcdImage, WhiteBackground);
}

void TReplay::DrawFrame() {
  DrawTrackViews(*Track, Pos);
  if (Index >= 2) Trail.Draw(*Track, Records, Index);  // the trail starts with step 2
  Car->Draw();
  if (!Car->LightSensors.empty()) DrawSensorDisplay(SensorImage, SensorDots, Readings);
  if (Ccd) Ccd->DrawTo(CcdImage);
}

void TReplay::ClearViews() {
  // The rasters keep their size (they belong to the page); emptied means transparent.
  for (QImage* img : {ViewImage, SensorImage, CcdImage, DrawImage}) FillRaster(img, 0);
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
