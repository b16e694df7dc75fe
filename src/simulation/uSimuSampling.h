#pragma once
// Sensor sampling and the views of a run, shared by the simulation engine and the
// replay engine: point-sensor readings from the track geometry, the CCD picture
// rendered from the track and warped onto the camera's pixel grid, and the sensor dots.
// The trail of recorded positions is uSimuTrail.
//
// Everything here works without views: a null raster is skipped, and the readings and
// the CCD picture never depend on what is drawn into the page's views.
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/uTransformRect.h"
#include "geometry/uVector.h"

namespace k2 {

class TCar;
class TCCDSensor;
class TPath;
class TPathIndex;


// Background colours of the run views.
constexpr QRgb MainViewBackground = 0xFFE0E0FF;
constexpr QRgb WhiteBackground = 0xFFFFFFFF;
// Fills a raster; a null raster (no view) is skipped.
void FillRaster(QImage* img, QRgb colour);
// Clears both track views and draws the track around `pos`: the overview fitted and
// drawn without frame, `pos` marked on it, and the design view without axes.
void DrawTrackViews(TPath& track, TPointF pos);
// Clears the sensor display and draws the dots.
void DrawSensorDisplay(QImage* display, const std::vector<TPointF>& dots,
                       const std::vector<uint8_t>& readings);

// Grey level of an ARGB colour: the rounded mean of red, green and blue (alpha ignored).
uint8_t GreyLevel(QRgb c);

// Rectangle (car frame, mm) around the sensed points of the car's point sensors;
// (0, 0, 0, 0) without sensors.
TRectF SensorBounds(const TCar& car);
// Top-left corners, in display pixels, of the 10 x 10 dots of the point sensors, spread
// over a display of width x height pixels.
void LayoutSensorDots(const TCar& car, const TRectF& bounds, int32_t width, int32_t height,
                      std::vector<TPointF>& dots);
// Draws the dots: fill opacity 255 - reading, outline dark green.  The caller clears
// the display first.
void DrawSensorDots(QImage* display, const std::vector<TPointF>& dots,
                    const std::vector<uint8_t>& readings);

// A sensed point in polar form about the car's reference point: distance (mm) and
// direction (radians from the car's X axis).  Fixed for a car, so worked out once.
struct TPolar {
  double R = 0;
  double B = 0;
};
TPolar PolarOf(TPointF carPoint);
void SensorPolars(const TCar& car, std::vector<TPolar>& polars);
// World positions of the sensed points at pos / heading.
void PlaceSensorPoints(const std::vector<TPolar>& polars, TPointF pos, float heading,
                       std::vector<TPointF>& points);
// Readings of the point sensors at `points`: 255, lowered by every element of the
// track to the value the nearest element gives (0 on the line for a discrete sensor,
// proportional to the distance for a continuous one).
void ReadLightSensors(const TPath& track, const TCar& car, const std::vector<TPointF>& points,
                      std::vector<uint8_t>& readings);
// The same readings, looking only at the elements `index` (built from `track`) cannot
// rule out; `scratch` is working memory kept by the caller.
void ReadLightSensors(const TPath& track, const TPathIndex& index, const TCar& car,
                      const std::vector<TPointF>& points, std::vector<uint8_t>& readings,
                      std::vector<int32_t>& scratch);

// The deviation: the smallest ElementDistance of p from the track's elements, taken
// in order from the first (so that a first element without a distance, NaN, gives NaN
// as it would comparing each in turn).  The track has at least one element.
float NearestDistance(const TPath& track, TPointF p);
// The same, looking only at the elements `index` cannot rule out.
float NearestDistance(const TPath& track, const TPathIndex& index, TPointF p,
                      std::vector<int32_t>& scratch);

// The CCD camera of a car: the work raster of the track around the sensed area
// (4 mm per pixel, turned with the car), the camera picture (PixelWidth x PixelHeight)
// and the mappings between them and onto the display.
//
// A sensor whose corners admit no projective mapping shows a plain white picture.
class TCcdCamera {
 public:
  // Builds the rasters and mappings for `sensor`; false (nothing usable) when the
  // rasters cannot be allocated.  `display` is the CCD view (may be null).
  bool Setup(const TCCDSensor& sensor, const QImage* display);

  // Renders CcdFrame for a car at pos / heading on the track, drawing the elements
  // `index` (built from `track`, may be null) cannot rule out.
  void Render(const TPath& track, const TPathIndex* index, TPointF pos, float heading);
  void Render(const TPath& track, TPointF pos, float heading) {
    Render(track, nullptr, pos, heading);
  }

  // Grey levels of CcdFrame, row by row from the top; `out` holds Width() x Height().
  void Grey(uint8_t* out) const;
  // Draws CcdFrame scaled into the display (nearest neighbour).
  void DrawTo(QImage* display) const;

  int32_t Width() const { return CcdFrame.width(); }
  int32_t Height() const { return CcdFrame.height(); }
  bool HasProjection() const { return Projective; }
  const QImage& Frame() const { return CcdFrame; }
  const QImage& Work() const { return CcdWork; }
  int32_t WorkSize() const { return Side; }
  // Source rectangle of the projection in work pixels (left, top, right, bottom).
  QRectF SourceRect() const { return Source; }

  ~TCcdCamera();

 private:
  int32_t Side = 0;  // s, pixels of the square work raster
  QImage CcdWork;
  QImage CcdFrame;
  std::unique_ptr<TTransformRect> CcdView;
  QTransform FrameToWork;  // inverse of the projection work -> frame
  bool Projective = false;
  QRectF Source;
  double ScaleX = 1, ScaleY = 1;  // frame -> display
  TPolar CcdCentre;               // centre of SenseRect, car frame
  QPainter WorkPainter;           // kept active on CcdWork between steps
  QPainterPath Figures;           // reused every step
  std::vector<int32_t> Visible;   // reused every step
  // Work pixel (row * Side + column) seen by each picture pixel, -1 for none; built
  // once per car for pictures of moderate size.
  std::vector<int32_t> Lookup;

  int32_t SourceIndex(int32_t x, int32_t y) const;
  void BuildLookup();
  void Warp();
};

}  // namespace k2
