// Speed and memory of the simulation and replay engines with the sample cars and
// example modules, taken from the build's program folder:
//
//   BM_Step/Light8            Step with the module call, no views (goal >= 200 000 steps/s)
//   BM_Step/CCD128x32         the same for the 128 x 32 CCD car (goal >= 50 000 steps/s)
//   BM_Step/Light8AfterFill   a QImage fill before every step: Qt's vector code leaves a
//                             processor state that slows the step's arithmetic several
//                             times unless the step clears it (should match BM_Step/Light8)
//   BM_TrackScaling           the Light8 car on Default.kpf (9 elements) and on a
//                             1000-element track: "ratio" of the rates (goal >= 0.7)
//   BM_SensorScaling          8 against 100 point sensors: "ratio" (goal >= 0.4)
//   BM_LapTracking            the Light8 car on Default.kpf with lap tracking on, against
//                             the same engine with it off: "ratio" of the rates (goal
//                             >= 0.95), and "tracker_ns_per_step", the tracker alone
//   BM_StepAndDraw/N          Step, AddRecord and DrawFrame into the simulation page's four
//                             views, after N records (goal median 0.5 / 1.5 / 2 ms at
//                             0 / 60 000 / 200 000)
//   BM_ReplayFrame            a replay of 60 000 steps: SeekIndex anywhere and DrawFrame
//                             (goal median <= 2 ms)
//   BM_ReplayStepBack         the same, one step back each time (goal <= 2 ms)
//   BM_RecordMemory           bytes per record in memory, and the extra memory saving a
//                             record of 10^6 steps takes (goal <= 40 B, <= 1 MB)
//
// Counters: "steps_per_s" (over the timed loop), "median_ms", "ratio", "bytes_per_record",
// "save_extra_mb".
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "base/uSettings.h"
#include "car/uCar.h"
#include "car/uSensor.h"
#include "replay/uReplay.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"
#include "track/uPath.h"

namespace {

using TClock = std::chrono::steady_clock;

const QString BinDir = QStringLiteral(KURVINO2_BIN_DIR "/");
const QString TrackFile = BinDir + QStringLiteral("Default.kpf");
const QString Light8Car = BinDir + QStringLiteral("Car/Light8.kcf");
const QString CcdCar = BinDir + QStringLiteral("Car/CCD128x32.kcf");
const QString LightJudge = BinDir + QStringLiteral("Judgement/LightFollower.so");
const QString CcdJudge = BinDir + QStringLiteral("Judgement/CcdFollower.so");
constexpr const char* MissingFiles = "cannot load the sample files (build the whole project first)";

// Files made for the benchmarks, in a folder of their own.
QTemporaryDir& Scratch() {
  static QTemporaryDir dir;
  return dir;
}

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
  TBench(bool views, const QString& car, const QString& judge, const QString& track = TrackFile)
      : Views(views) {
    Sim = std::make_unique<k2::TSimu>(Views.Ptr(Views.Draw), Views.Ptr(Views.View),
                                      Views.Ptr(Views.Sensors), Views.Ptr(Views.Ccd));
    Ok = Sim->LoadTrack(track) && Sim->Prepare() && Sim->LoadCar(car) && Sim->Prepare() &&
         Sim->LoadJudge(judge) && Sim->Prepare();
    Sim->SetStepMs(10);
  }
  // Runs n steps with records; false when a call failed.
  bool Run(int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
      if (!Sim->Step()) return false;
      Sim->AddRecord();
    }
    return true;
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

void Step(benchmark::State& state, const QString& car, const QString& judge, bool fill) {
  TBench b(false, car, judge);
  if (!b.Ok) {
    state.SkipWithError(MissingFiles);
    return;
  }
  QImage scratch = k2::MakeViewRaster(k2::RunCcdSize);
  for (auto _ : state) {
    if (fill) scratch.fill(0xFF102030);
    if (!b.Sim->Step()) {
      state.SkipWithError("Judge call failed");
      break;
    }
  }
  state.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Step_Light8(benchmark::State& state) { Step(state, Light8Car, LightJudge, false); }
BENCHMARK(BM_Step_Light8)->Name("BM_Step/Light8")->MinTime(2.0)->UseRealTime();

void BM_Step_Ccd(benchmark::State& state) { Step(state, CcdCar, CcdJudge, false); }
BENCHMARK(BM_Step_Ccd)->Name("BM_Step/CCD128x32")->MinTime(2.0)->UseRealTime();

void BM_Step_AfterFill(benchmark::State& state) { Step(state, Light8Car, LightJudge, true); }
BENCHMARK(BM_Step_AfterFill)->Name("BM_Step/Light8AfterFill")->MinTime(2.0)->UseRealTime();

// Steps per second of an engine over about `seconds` of stepping.
double Rate(TBench& b, double seconds) {
  int64_t steps = 0;
  const auto t0 = TClock::now();
  const auto until = t0 + std::chrono::duration<double>(seconds);
  while (TClock::now() < until) {
    for (int i = 0; i < 256; ++i)
      if (!b.Sim->Step()) return 0;
    steps += 256;
  }
  return steps / std::chrono::duration<double>(TClock::now() - t0).count();
}

// A closed track of n straight elements along a circle of 4 m radius.
QString CircleTrack(int n) {
  const QString path = Scratch().filePath(QStringLiteral("Circle%1.kpf").arg(n));
  k2::TPath track(nullptr, 3000, nullptr, 6000);
  QString error;
  k2::TPointF end;
  constexpr double R = 4000, Pi = 3.14159265358979;
  for (int i = 1; i <= n; ++i) {
    const double a = 2 * Pi * i / n;
    auto line = i < n ? k2::BuildLine(end, static_cast<float>(std::round(R * std::sin(a))),
                                      static_cast<float>(std::round(R - R * std::cos(a))), error)
                      : k2::BuildCloseLine(end);
    if (!line) return QString();
    end = line->EndPoint;
    track.ExtendBoundsByLine(*line);
    track.Elements.push_back(std::move(line));
  }
  track.FileName = path;
  return track.SaveToFile() ? path : QString();
}

// The Light8 car with its row of sensors replaced by n discrete sensors across the
// same width.
QString RowCar(int n) {
  const QString path = Scratch().filePath(QStringLiteral("Row%1.kcf").arg(n));
  k2::TCar car(nullptr, k2::CarTestMainSpan);
  car.FileName = Light8Car;
  if (!car.LoadFromFile()) return QString();
  car.ClearSensors();
  for (int i = 0; i < n; ++i) {
    auto s = std::make_unique<k2::TLightSensor>();
    s->SetAssembleX(static_cast<int32_t>(std::lround(-98.0 + 196.0 * i / (n - 1))));
    s->SetAssembleY(200);
    s->SetAssembleZ(150);
    s->SetBeta(45);
    car.AddLightSensor(std::move(s));
  }
  car.FileName = path;
  return car.SaveToFile() ? path : QString();
}

void Scaling(benchmark::State& state, const QString& carA, const QString& trackA,
             const QString& carB, const QString& trackB) {
  if (carA.isEmpty() || trackA.isEmpty() || carB.isEmpty() || trackB.isEmpty()) {
    state.SkipWithError("cannot build the benchmark's files");
    return;
  }
  TBench a(false, carA, LightJudge, trackA), b(false, carB, LightJudge, trackB);
  if (!a.Ok || !b.Ok) {
    state.SkipWithError(MissingFiles);
    return;
  }
  double rateA = 0, rateB = 0;
  for (auto _ : state) {
    rateA = Rate(a, 1.0);
    rateB = Rate(b, 1.0);
  }
  state.counters["steps_per_s_base"] = rateA;
  state.counters["steps_per_s"] = rateB;
  state.counters["ratio"] = rateA > 0 ? rateB / rateA : 0;
}

void BM_TrackScaling(benchmark::State& state) {
  Scaling(state, Light8Car, TrackFile, Light8Car, CircleTrack(1000));
}
BENCHMARK(BM_TrackScaling)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SensorScaling(benchmark::State& state) {
  Scaling(state, RowCar(8), TrackFile, RowCar(100), TrackFile);
}
BENCHMARK(BM_SensorScaling)->Iterations(1)->Unit(benchmark::kSecond);

void BM_LapTracking(benchmark::State& state) {
  TBench on(false, Light8Car, LightJudge), off(false, Light8Car, LightJudge);
  if (!on.Ok || !off.Ok) {
    state.SkipWithError(MissingFiles);
    return;
  }
  off.Sim->LapTracking = false;
  // Short rounds taken in turns, so that a busy machine slows both sides alike; the
  // medians of the rounds are compared.
  std::vector<double> rateOn, rateOff;
  for (auto _ : state) {
    for (int round = 0; round < 10; ++round) {
      rateOff.push_back(Rate(off, 0.3));
      rateOn.push_back(Rate(on, 0.3));
    }
  }
  const double base = Median(rateOff), tracked = Median(rateOn);
  state.counters["steps_per_s_base"] = base;
  state.counters["steps_per_s"] = tracked;
  state.counters["ratio"] = base > 0 ? tracked / base : 0;

  // The tracker's own share, which a loaded machine blurs less: the steps of a recorded
  // lap and more fed to a tracker again and again.
  TBench rec(false, Light8Car, LightJudge);
  if (!rec.Ok || !rec.Run(4096)) return;
  const k2::TRecords& records = rec.Sim->Records;
  k2::TLapTracker tracker;
  tracker.Start(*rec.Sim->Track);
  int64_t fed = 0;
  const auto t0 = TClock::now();
  while (TClock::now() - t0 < std::chrono::milliseconds(500)) {
    tracker.Restart();
    for (int32_t i = 0; i < records.Count(); ++i)
      tracker.AddStep(records.Position(i), records.Fields(i)[6], 10);
    fed += records.Count();
  }
  benchmark::DoNotOptimize(tracker.Figures().ProgressMm);
  state.counters["tracker_ns_per_step"] =
      std::chrono::duration<double, std::nano>(TClock::now() - t0).count() /
      static_cast<double>(fed);
}
BENCHMARK(BM_LapTracking)->Iterations(1)->Unit(benchmark::kSecond);

// The Light8 car with the CCD sensor of CCD128x32 added, so that every view is drawn.
QString FullCar() {
  const QString path = Scratch().filePath(QStringLiteral("Light8CCD.kcf"));
  QImage scratch = k2::MakeViewRaster(k2::CarTestMainSize);
  k2::TCar full(&scratch, k2::CarTestMainSpan), ccd(&scratch, k2::CarTestMainSpan);
  full.FileName = Light8Car;
  ccd.FileName = CcdCar;
  if (!full.LoadFromFile() || !ccd.LoadFromFile() || !ccd.CCDSensor) return QString();
  full.SetCCDSensor(std::move(ccd.CCDSensor));
  full.FileName = path;
  return full.SaveToFile() ? path : QString();
}

void BM_StepAndDraw(benchmark::State& state) {
  const QString car = FullCar();
  if (car.isEmpty()) {
    state.SkipWithError(MissingFiles);
    return;
  }
  TBench b(true, car, LightJudge);
  if (!b.Ok || !b.Run(state.range(0))) {
    state.SkipWithError(MissingFiles);
    return;
  }
  std::vector<double> ms;
  ms.reserve(1 << 16);
  for (auto _ : state) {
    const auto t0 = TClock::now();
    if (!b.Sim->Step()) {
      state.SkipWithError("Judge call failed");
      break;
    }
    b.Sim->AddRecord();
    b.Sim->DrawFrame();
    const auto t1 = TClock::now();
    if (ms.size() < ms.capacity())
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  state.counters["median_ms"] = Median(ms);
}
BENCHMARK(BM_StepAndDraw)
    ->Arg(0)
    ->Arg(60000)
    ->Arg(200000)
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A record file of 60 000 steps of the car with every sensor.
QString LongRecord() {
  const QString path = Scratch().filePath(QStringLiteral("Long.krf"));
  if (QFile::exists(path)) return path;
  const QString car = FullCar();
  if (car.isEmpty()) return QString();
  TBench b(false, car, LightJudge);
  if (!b.Ok || !b.Run(60000)) return QString();
  b.Sim->RecordFile = path;
  return b.Sim->SaveToFile() ? path : QString();
}

// The replay page's views.
struct TReplayViews {
  QImage Draw = k2::MakeViewRaster(k2::SimuMainViewSize);
  QImage View = k2::MakeViewRaster(k2::RunOverviewSize);
  QImage Sensors = k2::MakeViewRaster(k2::ReplaySensorsSize);
  QImage Ccd = k2::MakeViewRaster(k2::RunCcdSize);
};

void Replay(benchmark::State& state, bool back) {
  const QString file = LongRecord();
  TReplayViews v;
  k2::TReplay replay(&v.Draw, k2::RunMainSpan, &v.View, k2::RunOverviewSpan, &v.Sensors, &v.Ccd);
  replay.RecordFile = file;
  if (file.isEmpty() || !replay.LoadFromFile()) {
    state.SkipWithError(MissingFiles);
    return;
  }
  replay.SeekIndex(replay.RecordCount - 1);
  replay.DrawFrame();  // the first frame builds the maps of the trail
  std::mt19937 random(1);
  std::vector<double> ms;
  ms.reserve(1 << 16);
  for (auto _ : state) {
    const auto t0 = TClock::now();
    if (back) {
      if (replay.AtStart()) replay.SeekIndex(replay.RecordCount - 1);
      replay.StepBack();
    } else {
      replay.SeekIndex(static_cast<int32_t>(random() % static_cast<uint32_t>(replay.RecordCount)));
    }
    replay.DrawFrame();
    const auto t1 = TClock::now();
    if (ms.size() < ms.capacity())
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  state.counters["median_ms"] = Median(ms);
}

void BM_ReplayFrame(benchmark::State& state) { Replay(state, false); }
BENCHMARK(BM_ReplayFrame)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ReplayStepBack(benchmark::State& state) { Replay(state, true); }
BENCHMARK(BM_ReplayStepBack)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMillisecond);

// Resident and peak resident memory of this process, bytes.
size_t StatusBytes(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  size_t kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, field, &kb) == 1) break;
  std::fclose(f);
  return kb * 1024;
}

void BM_RecordMemory(benchmark::State& state) {
  constexpr int32_t Steps = 1000000;
  TBench b(false, Light8Car, LightJudge);
  if (!b.Ok) {
    state.SkipWithError(MissingFiles);
    return;
  }
  // The records of 10^6 steps of a real run (positions and readings as they come).
  if (!b.Run(4096)) {
    state.SkipWithError("Judge call failed");
    return;
  }
  for (int32_t i = b.Sim->Records.Count(); i < Steps; ++i) {
    const int32_t k = i % 4096;
    const float fields[7] = {
        b.Sim->Records.Fields(k)[0], b.Sim->Records.Fields(k)[1], 0, 0, 0, 0, 0};
    b.Sim->Records.Add(fields, b.Sim->Records.Readings(k), b.Sim->Records.Stride());
  }
  double extra = 0;
  for (auto _ : state) {
    // Peak memory from here on: writing 5 to clear_refs resets the peak to the present.
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", f);
      std::fclose(f);
    }
    const size_t before = StatusBytes("VmRSS: %zu kB");
    b.Sim->RecordFile = Scratch().filePath(QStringLiteral("Million.krf"));
    if (!b.Sim->SaveToFile()) {
      state.SkipWithError("cannot save the record");
      return;
    }
    extra = static_cast<double>(StatusBytes("VmHWM: %zu kB")) - static_cast<double>(before);
  }
  state.counters["bytes_per_record"] =
      static_cast<double>(b.Sim->Records.MemoryBytes()) / b.Sim->Records.Count();
  state.counters["save_extra_mb"] = extra / (1 << 20);
}
BENCHMARK(BM_RecordMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

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
