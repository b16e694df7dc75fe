// A record file (.krf) as the replay page and render-frame load it
// (TReplay::LoadFromFile: the reader, the element index, the views' layout and the CCD
// camera), then the first, a middle and the last record made current and drawn, and
// the replay rates applied, as the replay page does.
#include "FuzzSupport.h"
#include "car/uCar.h"
#include "replay/uReplay.h"
#include "simulation/uRunView.h"
#include "track/uPath.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  k2::fuzz::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace k2;
  TReplay replay(nullptr, RunMainSpan, nullptr, RunOverviewSpan, nullptr, nullptr);
  replay.RecordFile = fuzz::WriteInput("input.krf", data, size);
  if (!replay.LoadFromFile()) return 0;
  if (replay.RecordCount != replay.Records.Count())
    fuzz::Broken("the replay's record count differs from the records read");
  if (replay.Ccd && !fuzz::SmallCamera(*replay.Car)) return 0;

  replay.DrawInitial();
  for (int32_t i : {0, replay.RecordCount / 2, replay.RecordCount - 1}) {
    replay.SeekIndex(i);
    replay.DrawFrame();
  }
  for (int32_t ms : {10, 100, 1000}) {
    replay.SetStepMs(ms);
    replay.StepBack();
    replay.DrawFrame();
  }
  return 0;
}
