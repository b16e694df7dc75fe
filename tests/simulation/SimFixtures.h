#pragma once
// Small tracks and cars for the engine and replay tests, built in code and saved
// as files where a test loads them.
#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "car/uCar.h"
#include "car/uSensor.h"
#include "simulation/uRunView.h"
#include "track/uPath.h"

namespace k2::test {

// One element of a track, chained from the end of the previous one (the track
// page's rules): a line to (X, Y), or an arc around (X, Y) sweeping Sweep degrees.
struct TElementSpec {
  bool IsArc;
  float X, Y;
  int32_t Sweep;
};
inline TElementSpec LineTo(float x, float y) { return {false, x, y, 0}; }
inline TElementSpec ArcAround(float cx, float cy, int32_t sweep) { return {true, cx, cy, sweep}; }

inline std::unique_ptr<TPath> MakeTrack(const std::vector<TElementSpec>& spec) {
  auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
  TPointF end;
  QString error;
  for (const TElementSpec& e : spec) {
    if (e.IsArc) {
      auto arc = BuildArc(end, e.X, e.Y, e.Sweep, 0, error);
      end = arc->EndPoint;
      track->ExtendBoundsByArc(*arc);
      track->Elements.push_back(std::move(arc));
    } else {
      auto line = BuildLine(end, e.X, e.Y, error);
      end = line->EndPoint;
      track->ExtendBoundsByLine(*line);
      track->Elements.push_back(std::move(line));
    }
  }
  return track;
}

inline bool SaveTrack(const QString& path, const std::vector<TElementSpec>& spec) {
  auto track = MakeTrack(spec);
  track->FileName = path;
  return track->SaveToFile();
}

// A point sensor looking straight down at (x, y) of the car frame.
inline std::unique_ptr<TLightSensor> PointSensor(int32_t x, int32_t y, uint8_t type = 0,
                                                 int32_t effectiveR = 0) {
  auto s = std::make_unique<TLightSensor>();
  s->SensorType = type;
  s->EffectiveR = effectiveR;
  s->SetAssembleX(x);
  s->SetAssembleY(y);
  s->SetAssembleZ(0);
  s->SetBeta(0);
  return s;
}

// A CCD sensor of 80 x 60 pixels seeing the rectangle x -100..100, y 100..250 of the
// car frame (a 200 x 150 mm area whose picture is the rectangle itself).
inline std::unique_ptr<TCCDSensor> RectCcd(int32_t pixelWidth = 80, int32_t pixelHeight = 60) {
  auto s = std::make_unique<TCCDSensor>();
  s->ComputeSenseArea(MakePointF(-100, 250), MakePointF(-100, 100), MakePointF(100, 250),
                      MakePointF(100, 100), pixelWidth, pixelHeight);
  s->SetAssembleX(0);
  s->SetAssembleY(100);
  s->SetAssembleZ(100);
  s->SetAlpha(45);
  return s;
}

// A car with the default body and actuators and point sensors in a row across the
// front at y = 250, spaced `spacing` mm, from left to right.
inline std::unique_ptr<TCar> RowCar(int count, int32_t spacing = 20, bool withCcd = false) {
  auto car = std::make_unique<TCar>(nullptr, RunMainSpan);
  for (int i = 0; i < count; ++i)
    car->AddLightSensor(PointSensor((2 * i - (count - 1)) * spacing / 2, 250));
  if (withCcd) car->SetCCDSensor(RectCcd());
  return car;
}

inline bool SaveCar(const QString& path, TCar& car) {
  car.FileName = path;
  return car.SaveToFile();
}

}  // namespace k2::test
