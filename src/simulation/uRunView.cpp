#include "simulation/uRunView.h"

#include "car/uCar.h"
#include "simulation/uRecord.h"
#include "simulation/uSimuSampling.h"
#include "track/uPath.h"

namespace k2 {

namespace {
bool Usable(const QImage* img) { return img && !img->isNull(); }
}  // namespace

TRunView::TRunView(QImage* mainImage, QImage* overviewImage, QImage* sensorImage,
                   QImage* ccdImage, TViewSize sensorLayout)
    : Main(mainImage),
      Overview(overviewImage),
      Sensors(sensorImage),
      Ccd(ccdImage),
      SensorLayout(sensorLayout) {}

void TRunView::LayOut(const TCar& car) {
  Dots.assign(car.LightSensors.size(), TPointF{});
  if (Dots.empty()) return;
  const int32_t w = Usable(Sensors) ? Sensors->width() : SensorLayout.Width;
  const int32_t h = Usable(Sensors) ? Sensors->height() : SensorLayout.Height;
  LayoutSensorDots(car, SensorBounds(car), w, h, Dots);
}

void TRunView::DrawDots(const TCar& car, const std::vector<uint8_t>& readings) {
  if (!car.LightSensors.empty()) DrawSensorDisplay(Sensors, Dots, readings);
}

void TRunView::DrawStill(TPath* track, TCar* car, TPointF pos,
                         const std::vector<uint8_t>& readings) {
  if (track) {
    DrawTrackViews(*track, pos);
  } else {
    FillRaster(Main, MainViewBackground);
    FillRaster(Overview, WhiteBackground);
  }
  if (!car) return;
  car->Draw();
  DrawDots(*car, readings);
  if (car->CCDSensor) FillRaster(Ccd, WhiteBackground);
}

void TRunView::DrawFrame(TPath& track, TCar& car, TPointF pos, const TRecords& records,
                         int32_t trailLast, const std::vector<uint8_t>& readings,
                         const TCcdCamera* ccd) {
  DrawTrackViews(track, pos);
  Trail.Draw(track, records, trailLast);
  car.Draw();
  DrawDots(car, readings);
  if (ccd) ccd->DrawTo(Ccd);
}

void TRunView::Clear(bool withMain) {
  FillRaster(Overview, 0);
  FillRaster(Sensors, 0);
  FillRaster(Ccd, 0);
  if (withMain) FillRaster(Main, 0);
}

}  // namespace k2
