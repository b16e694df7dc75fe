#pragma once
// The run view: the four views of a run, drawn alike for a live simulation, a car test
// and a replay: the main view (the track around the car, the trail, the car), the
// overview (the whole track with the car's position and trail), the point-sensor dots
// and the CCD picture.  Also the sizes of the pages' views, named once.
//
// Ownership: the rasters belong to the page (or a tool) and may be null; a missing
// raster is skipped.  The main view and the overview are the rasters the track and
// the car were created on.  The run view owns the dot layout and the trail.
#include <QImage>
#include <cstdint>
#include <vector>

#include "geometry/uVector.h"
#include "simulation/uSimuTrail.h"

namespace k2 {

class TCar;
class TCcdCamera;
class TPath;
class TRecords;

struct TViewSize {
  int32_t Width;
  int32_t Height;
};

// The views of the run pages and of the car test, pixels.
inline constexpr TViewSize SimuMainViewSize{430, 430};    // imgSimuDraw, imgReplayDraw
inline constexpr TViewSize RunOverviewSize{150, 150};     // imgSimuView, imgReplayView
inline constexpr TViewSize SimuSensorsSize{300, 110};     // imgSimuSensors
inline constexpr TViewSize ReplaySensorsSize{338, 110};   // imgReplaySensors
inline constexpr TViewSize RunCcdSize{110, 110};          // imgSimuCCD, imgReplayCCD
inline constexpr TViewSize CarTestMainSize{300, 300};     // imgCarDraw
inline constexpr TViewSize CarTestSensorsSize{376, 86};   // imgCarSensors
inline constexpr TViewSize CarTestCcdSize{86, 86};        // imgCarCCD
inline constexpr TViewSize CarTestOverviewSize{136, 136}; // imgCarView
// A raster for a view of that size (32-bit ARGB, not yet filled).
inline QImage MakeViewRaster(TViewSize size) {
  return QImage(size.Width, size.Height, QImage::Format_ARGB32);
}

// Millimetres across the views at zoom 1.
inline constexpr int32_t RunMainSpan = 2000;
inline constexpr int32_t CarTestMainSpan = 1500;
inline constexpr int32_t RunOverviewSpan = 6000;

class TRunView {
 public:
  // `sensorLayout`: the size the dots are laid out for when there is no sensor raster
  // (the page's size, so that a run without views lays them out as the page would).
  TRunView(QImage* mainImage, QImage* overviewImage, QImage* sensorImage, QImage* ccdImage,
           TViewSize sensorLayout);

  // Lays the car's point-sensor dots out over the sensor view (none without sensors).
  void LayOut(const TCar& car);
  const std::vector<TPointF>& SensorDots() const { return Dots; }

  // The still picture before a run or of its first step: the track around `pos` (or
  // the empty views when `track` is null), the car and its dots (nothing when `car` is
  // null), and a white CCD view when the car carries a CCD sensor.
  void DrawStill(TPath* track, TCar* car, TPointF pos, const std::vector<uint8_t>& readings);
  // One frame: the track around `pos`, the trail of records 0..trailLast (nothing for
  // fewer than two), the car, its dots and the CCD picture (when `ccd` is given).
  void DrawFrame(TPath& track, TCar& car, TPointF pos, const TRecords& records,
                 int32_t trailLast, const std::vector<uint8_t>& readings, const TCcdCamera* ccd);
  // The track drawn before may have changed: the next frame draws it afresh.
  void Forget() { OverviewTrack = QImage(); }
  // Empties the overview, the dots and the CCD view, and the main view when `withMain`
  // (the car test's main view belongs to the car page, which redraws it itself).
  void Clear(bool withMain);

  QImage* MainImage() const { return Main; }
  QImage* OverviewImage() const { return Overview; }
  QImage* SensorImage() const { return Sensors; }
  QImage* CcdImage() const { return Ccd; }

 private:
  void DrawDots(const TCar& car, const std::vector<uint8_t>& readings);
  // As DrawTrackViews, with the overview's track taken from the cache when it is the
  // same picture.
  void DrawTrackAround(TPath& track, TPointF pos);

  QImage* Main;
  QImage* Overview;
  QImage* Sensors;
  QImage* Ccd;
  TViewSize SensorLayout;
  std::vector<TPointF> Dots;  // dot corners in sensor-view pixels, one per point sensor
  TTrail Trail;
  // The overview's track without marks, for the transform it was drawn with; emptied
  // whenever the track may have changed (DrawStill, Clear).
  QImage OverviewTrack;
  TPointF CachedFor;
  float CachedScale = 0;
  float CachedZoom = 0;

};

}  // namespace k2
