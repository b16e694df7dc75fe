// Per-call cost of a decision module running in kurvino2-judge-host: one Judge call
// with a 1-byte light buffer and no picture, to a module that does nothing.  The goal
// is a median of 30 us or less.
//
// Finds the host in the build's bin folder and the module among the test modules
// (build/test-modules/silent.so); KURVINO2_JUDGE_HOST and KURVINO2_JUDGE_MODULE
// override them.  The counter "median_us" is the median of the single calls.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <chrono>
#include <unistd.h>
#include <vector>

#include "simulation/uJudge.h"

namespace {

QString Setting(const char* var, const QString& fallback) {
  const QString v = qEnvironmentVariable(var);
  return v.isEmpty() ? fallback : v;
}

QString BuildDir() {
  return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
}

bool LoadSilent(k2::TJudgeModule& module, benchmark::State& state) {
  module.SetHostPath(Setting("KURVINO2_JUDGE_HOST", BuildDir() + "/bin/kurvino2-judge-host"));
  const QString path = Setting("KURVINO2_JUDGE_MODULE", BuildDir() + "/test-modules/silent.so");
  if (!module.Load(path) || !module.CallReset() || !module.Reserve(1, 0)) {
    state.SkipWithError("cannot load the module (build the tests, or set KURVINO2_JUDGE_MODULE)");
    return false;
  }
  return true;
}

// Times the calls one by one; pauseUs between calls (untimed) lets both processes
// fall asleep, as between the steps of a run in real time.
void RunCalls(benchmark::State& state, int pauseUs) {
  k2::TJudgeModule module;
  if (!LoadSilent(module, state)) return;
  const uint8_t light = 128;
  uint16_t motor = 0, steer = 32768;
  std::vector<double> us;
  us.reserve(1 << 20);
  for (auto _ : state) {
    if (pauseUs > 0) {
      state.PauseTiming();
      usleep(static_cast<useconds_t>(pauseUs));
      state.ResumeTiming();
    }
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = module.CallJudge(0, &light, 1, nullptr, 0, 0, motor, steer);
    const auto t1 = std::chrono::steady_clock::now();
    if (!ok) {
      state.SkipWithError("Judge call failed");
      break;
    }
    if (us.size() < us.capacity())
      us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  if (!us.empty()) {
    std::nth_element(us.begin(), us.begin() + static_cast<long>(us.size() / 2), us.end());
    state.counters["median_us"] = us[us.size() / 2];
  }
}

// Back to back, as in a headless run: the call is handed over while both sides spin.
void BM_JudgeCall(benchmark::State& state) { RunCalls(state, 0); }
BENCHMARK(BM_JudgeCall)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

// One call per millisecond: both sides have gone to sleep on the socket.
void BM_JudgeCallAfterIdle(benchmark::State& state) { RunCalls(state, 1000); }
BENCHMARK(BM_JudgeCallAfterIdle)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
