#pragma once
// The line sensors of a car: photoelectric point sensors and the CCD camera sensor.
//
// Coordinates are millimetres in the car frame (X to the car's right, Y forwards, Z
// height above the ground, origin at the centre of the body); angles are whole degrees.
// Sensors are owned by their car.
//
// Stream records hold no kind byte: the car record says which kind follows.  Loading
// reads every field as stored, derived ones included, and recomputes nothing.
#include <array>
#include <cstdint>

#include "geometry/uVector.h"

namespace k2 {

class TStreamReader;
class TStreamWriter;

// Captions indexed by SensorKind and by TLightSensor::SensorType.
inline const char* const SensorKindNames[2] = {"光电", "CCD"};
inline const char* const LightSensorTypeNames[2] = {"非连续型", "连续型"};

constexpr uint8_t LightSensorKind = 0;
constexpr uint8_t CCDSensorKind = 1;

// Record sizes in bytes.
constexpr int LightSensorRecordSize = 29;
constexpr int CCDSensorRecordSize = 112;

class TSensor {
 public:
  virtual ~TSensor() = default;

  uint8_t SensorKind = 0;  // fixed by the concrete class; not stored
  int32_t AssembleX = 0;   // mounting position, mm
  int32_t AssembleY = 0;
  int32_t AssembleZ = 0;  // mounting height above the ground, mm

  virtual void SetAssembleX(int32_t x);
  virtual void SetAssembleY(int32_t y);
  virtual void SetAssembleZ(int32_t z);
  // Reads the mounting; false when the stream ends early.
  virtual bool LoadFromStream(TStreamReader& s);
  virtual void SaveToStream(TStreamWriter& s) const;

 protected:
  explicit TSensor(uint8_t kind) : SensorKind(kind) {}
};

// Senses one point of the ground straight ahead of its foot, tilted forwards by Beta
// from the vertical.
class TLightSensor : public TSensor {
 public:
  TLightSensor() : TSensor(LightSensorKind) {}

  int32_t SenseX = 0;      // sensed point, mm; = AssembleX
  int32_t SenseY = 0;      // = round(tan(Beta) x AssembleZ + AssembleY)
  int32_t Beta = 0;        // elevation from the vertical, 0..89 through SetBeta
  int32_t EffectiveR = 0;  // mm; 0 for a discrete sensor
  uint8_t SensorType = 0;  // 0 discrete, 1 continuous

  // The setters refresh SenseX (X) or SenseY (Y, Z, Beta).
  void SetAssembleX(int32_t x) override;
  void SetAssembleY(int32_t y) override;
  void SetAssembleZ(int32_t z) override;
  // 89 for 90 and above (the tangent grows without bound at 90), 0 below 0.
  void SetBeta(int32_t beta);
  // The 29-byte record; false when the stream ends early.
  bool LoadFromStream(TStreamReader& s) override;
  void SaveToStream(TStreamWriter& s) const override;

 private:
  void UpdateSenseY();
};

// True when the four corners of a CCD sensed area admit the projective mapping of
// the sensor: every coordinate finite, the quadrilateral TopLeft, TopRight,
// BottomRight, BottomLeft strictly convex and running clockwise in the car frame
// (no three corners on a line, no two equal), and its bounding rectangle, taken from
// the named corners as SenseRect is, of positive width and height.  The CCD dialog
// refuses corners for which this is false.
bool QuadIsProper(TPointF topLeft, TPointF bottomLeft, TPointF topRight, TPointF bottomRight);

// The most pixels a CCD picture has in a row or a column, as its dialog allows;
// a file claiming more is not read.
constexpr int32_t MaxCcdPixels = 10000;

// Sees a four-cornered area of the ground as a PixelWidth x PixelHeight grey image.
class TCCDSensor : public TSensor {
 public:
  TCCDSensor() : TSensor(CCDSensorKind) {}

  int32_t SenseX = 0;       // where the camera axis meets the ground, mm; = AssembleX
  int32_t SenseY = 0;       // = round(cot(Alpha) x AssembleZ + AssembleY)
  int32_t Alpha = 90;       // depression below the horizontal, 1..90 through SetAlpha
  int32_t PixelHeight = 0;  // image rows
  int32_t PixelWidth = 0;   // image columns
  // Corners of the sensed area, mm.  Top is the far side (larger Y), Left the smaller X.
  TPointF TopLeft;
  TPointF BottomLeft;
  TPointF TopRight;
  TPointF BottomRight;
  // Pixel positions of the corners of SenseRect (top-left, top-right, bottom-right,
  // bottom-left): X0, X1, X2, X3, then Y0, Y1, Y2, Y3.  Pixel x runs right, y down.
  std::array<float, 8> ImageQuad{};
  TRectF SenseRect;  // bounding rectangle of the sensed area, mm

  void SetAssembleX(int32_t x) override;
  void SetAssembleY(int32_t y) override;
  void SetAssembleZ(int32_t z) override;
  // 1 for 0 and below, 90 above 90.
  void SetAlpha(int32_t alpha);

  // Stores the four corners and the pixel counts, then derives SenseRect and
  // ImageQuad.  SenseRect: Left = min(TopLeft.X, BottomLeft.X), Top = max(TopLeft.Y,
  // TopRight.Y), Right = max(TopRight.X, BottomRight.X), Bottom = min(BottomLeft.Y,
  // BottomRight.Y).  ImageQuad: the corners of SenseRect taken back through the
  // inverse of the projective mapping that carries pixel (0, 0), (PixelWidth, 0),
  // (PixelWidth, PixelHeight), (0, PixelHeight) onto TopLeft, TopRight, BottomRight,
  // BottomLeft.
  //
  // Corners without such a mapping (QuadIsProper false, e.g. three on a line or all
  // 0), a pixel count below 1, or a SenseRect corner that maps to infinity store
  // ImageQuad all 0; SenseRect is then still taken from the named corners as above,
  // or all 0 when a corner is not finite.  Nothing stored is ever NaN or infinite,
  // and HasProjection tells such a sensor apart.
  void ComputeSenseArea(TPointF topLeft, TPointF bottomLeft, TPointF topRight, TPointF bottomRight,
                        int32_t pixelWidth, int32_t pixelHeight);

  // True when the stored fields describe a usable warp of the track under SenseRect
  // into the image: both pixel counts at least 1, SenseRect finite with positive
  // width and height, and ImageQuad finite with no three of its points on a line.
  // A sensor without one sees a plain white picture.  Loaded sensors keep the values
  // of their file, so this looks at the stored fields, not at the corners.
  bool HasProjection() const;

  // The 112-byte record; false when the stream ends early.
  bool LoadFromStream(TStreamReader& s) override;
  void SaveToStream(TStreamWriter& s) const override;

 private:
  void UpdateSenseY();
};

}  // namespace k2
