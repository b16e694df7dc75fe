// The simulation page's tick with its real widgets on the offscreen platform: the run
// clock's tick (Step, AddRecord, DrawFrame of the four views, the readouts) and the
// repaint of the window, after N records of the 8-sensor sample car with its module on
// Default.kpf.  Beside it, the engine's own Step + AddRecord + DrawFrame on the same
// engine; the page may add at most 0.5 ms to that.
//
//   BM_SimuPageTick/N   counters "median_ms" (the page's tick with the repaint) and
//                       "engine_ms" (the engine's part); N = 0, 60 000, 200 000.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/uMain.h"
#include "base/uSettings.h"
#include "simulation/uSimu.h"
#include "simulation/uSimulation.h"
#include "ui/uFuncProc.h"
#include "ui/uRunClock.h"

namespace {

using TClock = std::chrono::steady_clock;
const QString BinDir = QStringLiteral(KURVINO2_BIN_DIR "/");

// Answers the page's open dialogs with the sample files, in order; no box is expected.
class TFiles : public k2::IDialogService {
 public:
  QStringList Next{BinDir + "Default.kpf", BinDir + "Car/Light8.kcf",
                   BinDir + "Judgement/LightFollower.so"};
  QMessageBox::StandardButton ShowMessage(QWidget*, const QString&, const QString&,
                                          QMessageBox::Icon, QMessageBox::StandardButtons) override {
    return QMessageBox::Ok;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&) override {
    return Next.isEmpty() ? QString() : Next.takeFirst();
  }
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return QString();
  }
  bool OpenDocument(const QString&) override { return false; }
  int ExecDialog(QDialog&) override { return 0; }
};

double Median(std::vector<double>& v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

double Ms(TClock::time_point a, TClock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void BM_SimuPageTick(benchmark::State& state) {
  TFiles files;
  k2::SetDialogService(&files);
  k2::TwdMain main;
  main.show();
  main.SwitchPage(2);
  k2::TSimuPage& page = *main.SimuPage;
  page.btnEnterSimu->click();
  page.btnSimuLoadPath->click();
  page.btnSimuLoadCar->click();
  page.btnSimuLoadJudge->click();
  k2::TSimu* sim = main.State().CurSimu.get();
  if (!sim || !sim->IsReady()) {
    k2::SetDialogService(nullptr);
    state.SkipWithError("cannot load the sample files (build the whole project first)");
    return;
  }
  page.btnSimuStart->click();
  // Ticks come from this loop only: the clock stays on, its own timer far away.
  main.RunClock().SetInterval(1 << 30);
  for (int64_t i = 0; i < state.range(0); ++i) {
    sim->Step();
    sim->AddRecord();
  }
  std::vector<double> tick, engine;
  for (auto _ : state) {
    const auto t0 = TClock::now();
    main.tmrRunTimer();
    QApplication::processEvents();  // the repaint
    const auto t1 = TClock::now();
    sim->Step();
    sim->AddRecord();
    sim->DrawFrame();
    const auto t2 = TClock::now();
    tick.push_back(Ms(t0, t1));
    engine.push_back(Ms(t1, t2));
  }
  state.counters["median_ms"] = Median(tick);
  state.counters["engine_ms"] = Median(engine);
  page.btnSimuPause->click();
  main.State().DocModified = false;  // nothing to ask on the way out
  k2::SetDialogService(nullptr);
}
BENCHMARK(BM_SimuPageTick)
    ->Arg(0)
    ->Arg(60000)
    ->Arg(200000)
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  k2::SetProgramDir(BinDir);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
