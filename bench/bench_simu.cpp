// Speed of the simulation engine with the sample cars and example modules on
// Default.kpf, all taken from the build's program folder:
//
//   BM_Step/Light8          Step with the module call, no views: goal 20 000 steps/s
//   BM_Step/CCD128x32       the same for the 128 x 32 CCD car: goal 5 000 steps/s
//   BM_StepAndDraw/...      Step, AddRecord and DrawFrame into the simulation page's
//                           four views (430 x 430, 150 x 150, 300 x 110, 110 x 110), as
//                           the run loop does: goal a median of 2 ms.  The car carries
//                           the 8 point sensors and the CCD sensor, so every view is
//                           drawn; the argument is the number of records of the run so
//                           far (the trail is drawn from them).
//
// Counters: "steps_per_s" (a rate over the timed loop) and "median_ms" (of the
// single iterations).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "base/uSettings.h"
#include "car/uCar.h"
#include "car/uSensor.h"
#include "simulation/uSimu.h"

namespace {

const QString BinDir = QStringLiteral(KURVINO2_BIN_DIR "/");
const QString TrackFile = BinDir + QStringLiteral("Default.kpf");
const QString Light8Car = BinDir + QStringLiteral("Car/Light8.kcf");
const QString CcdCar = BinDir + QStringLiteral("Car/CCD128x32.kcf");
const QString LightJudge = BinDir + QStringLiteral("Judgement/LightFollower.so");
const QString CcdJudge = BinDir + QStringLiteral("Judgement/CcdFollower.so");

// The simulation page's views, or none.
struct TViews {
  explicit TViews(bool present)
      : Draw(present ? k2::MakeViewRaster(k2::SimuMainViewSize) : QImage()),
        View(present ? k2::MakeViewRaster(k2::RunOverviewSize) : QImage()),
        Sensors(present ? k2::MakeViewRaster(k2::SimuSensorsSize) : QImage()),
        Ccd(present ? k2::MakeViewRaster(k2::RunCcdSize) : QImage()) {}
  static QImage* Ptr(QImage& img) { return img.isNull() ? nullptr : &img; }
  QImage Draw, View, Sensors, Ccd;
};

// An engine loaded as the simulation page loads it: each load followed by Prepare.
struct TBench {
  TBench(bool views, const QString& car, const QString& judge) : Views(views) {
    Sim = std::make_unique<k2::TSimu>(Views.Ptr(Views.Draw), Views.Ptr(Views.View),
                                      Views.Ptr(Views.Sensors), Views.Ptr(Views.Ccd));
    Ok = Sim->LoadTrack(TrackFile) && Sim->Prepare() && Sim->LoadCar(car) && Sim->Prepare() &&
         Sim->LoadJudge(judge) && Sim->Prepare();
    Sim->SetStepMs(10);
  }
  TViews Views;
  std::unique_ptr<k2::TSimu> Sim;
  bool Ok = false;
};

double Median(std::vector<double>& v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void Step(benchmark::State& state, const QString& car, const QString& judge) {
  TBench b(false, car, judge);
  if (!b.Ok) {
    state.SkipWithError("cannot load the sample files (build the whole project first)");
    return;
  }
  for (auto _ : state) {
    if (!b.Sim->Step()) {
      state.SkipWithError("Judge call failed");
      break;
    }
  }
  state.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Step_Light8(benchmark::State& state) { Step(state, Light8Car, LightJudge); }
BENCHMARK(BM_Step_Light8)
    ->Name("BM_Step/Light8")
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Step_Ccd(benchmark::State& state) { Step(state, CcdCar, CcdJudge); }
BENCHMARK(BM_Step_Ccd)
    ->Name("BM_Step/CCD128x32")
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// The Light8 car with the CCD sensor of CCD128x32 added, saved into `dir`.
QString BuildFullCar(const QTemporaryDir& dir) {
  QImage scratch = k2::MakeViewRaster(k2::CarTestMainSize);
  k2::TCar full(&scratch, k2::CarTestMainSpan), ccd(&scratch, k2::CarTestMainSpan);
  full.FileName = Light8Car;
  ccd.FileName = CcdCar;
  if (!full.LoadFromFile() || !ccd.LoadFromFile() || !ccd.CCDSensor) return QString();
  full.SetCCDSensor(std::move(ccd.CCDSensor));
  full.FileName = dir.filePath(QStringLiteral("Light8CCD.kcf"));
  return full.SaveToFile() ? full.FileName : QString();
}

void BM_StepAndDraw(benchmark::State& state) {
  QTemporaryDir dir;
  const QString car = BuildFullCar(dir);
  if (car.isEmpty()) {
    state.SkipWithError("cannot build the car with every sensor (build the whole project first)");
    return;
  }
  TBench b(true, car, LightJudge);
  if (!b.Ok) {
    state.SkipWithError("cannot load the sample files (build the whole project first)");
    return;
  }
  for (int64_t i = 0; i < state.range(0); ++i) {
    if (!b.Sim->Step()) {
      state.SkipWithError("Judge call failed");
      return;
    }
    b.Sim->AddRecord();
  }
  std::vector<double> ms;
  ms.reserve(1 << 16);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!b.Sim->Step()) {
      state.SkipWithError("Judge call failed");
      break;
    }
    b.Sim->AddRecord();
    b.Sim->DrawFrame();
    const auto t1 = std::chrono::steady_clock::now();
    if (ms.size() < ms.capacity())
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  state.counters["median_ms"] = Median(ms);
}
BENCHMARK(BM_StepAndDraw)
    ->Arg(0)
    ->Arg(6000)
    ->Arg(60000)
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Fonts and rasters need a GUI application; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  k2::SetProgramDir(BinDir);  // where the module host is found
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
