// A car file (.kcf) as the simulation engine loads it (TSimu::LoadCar: the reader, the
// CCD camera, the sensor arrays and the module's buffers), and the first steps of a
// run of it on a fixed track.
//
// Properties besides "no crash, no sanitizer report": a refused file leaves the car
// without sensors, and an accepted car written out again reads back to the same bytes.
#include <QByteArray>

#include "FuzzSupport.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "geometry/uConstants.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"

namespace {

QByteArray CarBytes(const k2::TCar& car) {
  k2::TStreamWriter s;
  s.WriteHead("CarFile", k2::FileVersion);
  car.WriteCarRecord(s);
  return s.Data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  k2::fuzz::Init();
  k2::fuzz::FixedTrackPath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace k2;
  const QString path = fuzz::WriteInput("input.kcf", data, size);
  TSimu sim(nullptr, nullptr, nullptr, nullptr);
  if (!sim.LoadTrack(fuzz::FixedTrackPath())) fuzz::Broken("the fixed track does not load");
  sim.Prepare();
  if (!sim.LoadCar(path)) {
    if (!sim.Car->LightSensors.empty() || sim.Car->CCDSensor)
      fuzz::Broken("a refused car file left sensors behind");
    return 0;
  }

  const QByteArray written = CarBytes(*sim.Car);
  TCar again(nullptr, RunMainSpan);
  TStreamReader s(written);
  if (!s.ReadHead("CarFile", FileVersion) || !again.ReadCarRecord(s) || !s.AtEnd())
    fuzz::Broken("a car written from an accepted file is refused");
  if (CarBytes(again) != written) fuzz::Broken("a car written again reads back differently");

  sim.Prepare();
  if (!sim.Ccd || fuzz::SmallCamera(*sim.Car)) fuzz::DriveSteps(sim, 8);
  return 0;
}
