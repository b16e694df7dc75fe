// Per-call cost of a decision module running in kurvino2-judge-host: one Judge call
// with a 1-byte light buffer and no picture, to a module that does nothing, in the
// three rhythms a run has:
//
//   BM_JudgeCall                back to back (a headless run): both sides spin
//   BM_JudgeCallAfterWork/30    30 us of the engine's own work between calls
//   BM_JudgeCallAtCadence/10000 one call every 10 ms (a run in the window at real
//                               time): both sides have gone to sleep; goal p99 <= 200 us
//
// Counters: "p50_us" and "p99_us" of the single calls.
//
// Finds the host in the build's bin folder and the module among the test modules
// (build/test-modules/silent.so); KURVINO2_JUDGE_HOST and KURVINO2_JUDGE_MODULE
// override them.  The counter "median_us" is the median of the single calls.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <chrono>
#include <thread>
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

// Times the calls one by one.  Between calls (untimed) the engine either works for
// workUs (spinning, as a step computes) or, when sleepUs > 0, sleeps until sleepUs after
// the previous call began, as the window's run timer paces a run.
void RunCalls(benchmark::State& state, int workUs, int sleepUs) {
  k2::TJudgeModule module;
  if (!LoadSilent(module, state)) return;
  const uint8_t light = 128;
  uint16_t motor = 0, steer = 32768;
  std::vector<double> us;
  us.reserve(1 << 20);
  auto next = std::chrono::steady_clock::now();
  const bool between = sleepUs > 0 || workUs > 0;
  for (auto _ : state) {
    if (between) {
      state.PauseTiming();
      if (sleepUs > 0) {
        next += std::chrono::microseconds(sleepUs);
        std::this_thread::sleep_until(next);
      } else {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(workUs);
        while (std::chrono::steady_clock::now() < until) {
        }
      }
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
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
}

void BM_JudgeCall(benchmark::State& state) { RunCalls(state, 0, 0); }
BENCHMARK(BM_JudgeCall)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

void BM_JudgeCallAfterWork(benchmark::State& state) {
  RunCalls(state, static_cast<int>(state.range(0)), 0);
}
BENCHMARK(BM_JudgeCallAfterWork)->Arg(30)->Iterations(30000)->Unit(benchmark::kMicrosecond);

void BM_JudgeCallAtCadence(benchmark::State& state) {
  RunCalls(state, 0, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_JudgeCallAtCadence)->Arg(10000)->Iterations(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
