#pragma once
// The car: body and wheel geometry, mass, sensors, drive motor and steering servo, the
// motion state the simulation keeps in it, the car file "*.kcf" and the car record that
// record files embed, and the plan-view drawing.
//
// Car frame: mm, X to the car's right, Y forwards, origin at the centre of the body.
// The front axle lies at Y = FrontLength, the rear axle at FrontLength - WheelBase.
//
// Ownership: a TCar owns its sensors, its motor, its servo and its transform.  The
// raster it draws into belongs to whoever created the car (a page or an engine), must
// outlive it and may be null, in which case Draw does nothing.
//
// Invariants: at most one CCD sensor; Motor->WeightForce = Weight x 9.8 / 1000 and
// Motor->WheelDiameter = WheelD / 1000 whenever the car changes them (SetWeight,
// SetWheelD, construction, ReadCarRecord).
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "car/uMotor.h"
#include "car/uSensor.h"
#include "geometry/uTransformRect.h"

class QPainter;

namespace k2 {

class TStreamReader;
class TStreamWriter;

// Size of the view a car without a raster computes its transform for (the car page's).
constexpr int32_t DefaultCarViewSize = 300;

// Colours of the plan view (ARGB); alpha below FF blends over what is drawn already.
constexpr QRgb CarBodyColor = 0xC800008B;
constexpr QRgb CarAxleColor = 0xC8DEB887;
constexpr QRgb CarWheelColor = 0xC8A52A2A;
constexpr QRgb LightSensorColor = 0xC8006400;
constexpr QRgb CCDAreaColor = 0x50228B22;
constexpr double CarAxlePenWidth = 3.0;     // pixels
constexpr double LightSensorDotSize = 5.0;  // pixels

// Header 15 bytes, body 69 bytes, 29 per point sensor, 112 for a CCD sensor.
constexpr int CarHeadSize = 15;
constexpr int CarRecordBaseSize = 69;

class TCar {
 public:
  // drawImage: the view the car draws into (not owned, may be null); span: mm shown
  // across its width.  Without a raster the transform is computed for a
  // DefaultCarViewSize square.  Reads the defaults of the body, the motor and the servo
  // from the model settings file.
  TCar(QImage* drawImage, int32_t span);
  ~TCar();
  TCar(const TCar&) = delete;
  TCar& operator=(const TCar&) = delete;

  int32_t Length = 0;       // mm
  int32_t Width = 0;        // mm
  int32_t WheelBase = 0;    // mm between the axles
  int32_t Track = 0;        // mm between the left and right wheel centres
  int32_t WheelD = 0;       // mm; change through SetWheelD
  int32_t WheelWidth = 0;   // mm
  int32_t FrontLength = 0;  // mm, front axle ahead of the origin
  int32_t Weight = 0;       // g; change through SetWeight
  float Heading = 0;        // degrees, 0 facing world +y, counter-clockwise positive
  float SteerAngle = 0;     // degrees, positive to the left; the servo's Angle
  float Ratio = 0;          // gear ratio; settings only, never stored in a file
  QString FileName;         // full path of the car file

  QImage* DrawImage = nullptr;  // not owned
  std::unique_ptr<TTransformRect> DrawTransform;
  std::vector<std::unique_ptr<TLightSensor>> LightSensors;
  std::unique_ptr<TCCDSensor> CCDSensor;  // null when the car has none
  std::unique_ptr<TSteerMotor> SteerMotor;
  std::unique_ptr<TMotor> Motor;

  // The body fields and Ratio from section "DefaultCarParam".
  void ReadDefaults();

  // Sensors: the car takes ownership.  SetCCDSensor replaces (and frees) any earlier one.
  void AddLightSensor(std::unique_ptr<TLightSensor> sensor);
  void SetCCDSensor(std::unique_ptr<TCCDSensor> sensor);
  // Later sensors move up one place; an index outside the list does nothing.
  void DeleteLightSensor(int index);
  void DeleteCCDSensor();
  void ClearSensors();
  // Point sensors plus one for a CCD sensor.
  int SensorCount() const;

  void SetWeight(int32_t grams);
  void SetWheelD(int32_t mm);
  // SteerAngle := 0 and both actuators' ResetState; Heading := 0 too when asked.
  void ResetMotion(bool resetHeading);
  // Servo step, motor step, then SteerAngle := the servo's angle.
  void StepActuators();
  // Road speed at the rated motor speed, m/s.
  float RatedSpeed() const;

  // Files are written through a temporary file and a rename; false on failure.
  bool SaveToFile() const;
  // False for a missing file, a wrong head, or a record that ReadCarRecord refuses.
  // The car may then hold part of the file; the caller discards it.
  bool LoadFromFile();
  // Sets the body, servo and motor fields and appends the record's sensors to the car
  // (which is expected to have none).  False, with no sensor added, when the record
  // ends early or holds a point-sensor count that cannot fit in the bytes left.
  bool ReadCarRecord(TStreamReader& s);
  void WriteCarRecord(TStreamWriter& s) const;

  // Draws the plan view into DrawImage on top of what it holds (the caller clears it
  // or draws the background first).  Nothing when DrawImage is null.
  void Draw();
  // Puts the origin at the view centre and turns the drawing by the heading.
  void ApplyCarTransform(QPainter& p) const;

 private:
  float Pix(double mm) const;  // car length -> view pixels
  void DrawBody(QPainter& p) const;
  void DrawAxles(QPainter& p) const;
  void DrawWheels(QPainter& p) const;
  void DrawSensors(QPainter& p) const;
  void DrawLightSensor(QPainter& p, const TLightSensor& s) const;
  void DrawCCDSensor(QPainter& p, const TCCDSensor& s) const;
};

}  // namespace k2
