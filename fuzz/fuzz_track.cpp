// A track file (.kpf) as the simulation engine loads it (TSimu::LoadTrack: the
// reader, then the element index), and the first steps of a run of a fixed car on it.
//
// Properties besides "no crash, no sanitizer report": a refused file leaves the engine
// without elements, and an accepted track written out again reads back to the same
// bytes (writing what the reader made is a fixed point).
#include <QByteArray>

#include "FuzzSupport.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"
#include "simulation/uSimu.h"
#include "track/uPath.h"

namespace {

QByteArray TrackBytes(const k2::TPath& track) {
  k2::TStreamWriter s;
  s.WriteHead("PathFile", k2::FileVersion);
  track.SaveToStream(s);
  return s.Data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  k2::fuzz::Init();
  k2::fuzz::FixedCarPath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace k2;
  const QString path = fuzz::WriteInput("input.kpf", data, size);
  TSimu sim(nullptr, nullptr, nullptr, nullptr);
  if (!sim.LoadTrack(path)) {
    if (!sim.Track->Elements.empty()) fuzz::Broken("a refused track file left elements behind");
    return 0;
  }

  const QByteArray written = TrackBytes(*sim.Track);
  TPath again(nullptr, 3000, nullptr, 6000);
  TStreamReader s(written);
  if (!s.ReadHead("PathFile", FileVersion) || !again.LoadFromStream(s) || !s.AtEnd())
    fuzz::Broken("a track written from an accepted file is refused");
  if (TrackBytes(again) != written) fuzz::Broken("a track written again reads back differently");

  sim.Prepare();
  if (!sim.LoadCar(fuzz::FixedCarPath())) fuzz::Broken("the fixed car does not load");
  sim.Prepare();
  fuzz::DriveSteps(sim, 8);
  return 0;
}
