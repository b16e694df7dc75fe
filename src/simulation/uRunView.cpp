#include "simulation/uRunView.h"

#include <cstring>

#include "car/uCar.h"
#include "geometry/uTransformRect.h"
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

void TRunView::DrawTrackAround(TPath& track, TPointF pos) {
  FillRaster(Main, MainViewBackground);
  track.FitOverview();
  // The overview's track is the same picture frame after frame: drawn once per
  // transform and copied.
  if (Usable(Overview)) {
    const TTransformRect& t = *track.ViewTransform;
    const bool same = !OverviewTrack.isNull() && OverviewTrack.size() == Overview->size() &&
                      OverviewTrack.format() == Overview->format() &&
                      CachedFor.X == t.Offset.X && CachedFor.Y == t.Offset.Y &&
                      CachedScale == t.Scale && CachedZoom == t.ZoomFactor;
    if (same) {
      std::memcpy(Overview->bits(), OverviewTrack.constBits(),
                  static_cast<size_t>(OverviewTrack.sizeInBytes()));
    } else {
      FillRaster(Overview, WhiteBackground);
      track.DrawOverview(false);
      OverviewTrack = Overview->copy();
      CachedFor = t.Offset;
      CachedScale = t.Scale;
      CachedZoom = t.ZoomFactor;
    }
  }
  track.MarkOverviewPoint(pos, 3);
  track.DrawDesignView(false);
}

void TRunView::DrawStill(TPath* track, TCar* car, TPointF pos,
                         const std::vector<uint8_t>& readings) {
  OverviewTrack = QImage();  // the track may have changed
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
  DrawTrackAround(track, pos);
  Trail.Draw(track, records, trailLast);
  car.Draw();
  DrawDots(car, readings);
  if (ccd) ccd->DrawTo(Ccd);
}

void TRunView::Clear(bool withMain) {
  OverviewTrack = QImage();

  FillRaster(Overview, 0);
  FillRaster(Sensors, 0);
  FillRaster(Ccd, 0);
  if (withMain) FillRaster(Main, 0);
}

}  // namespace k2
