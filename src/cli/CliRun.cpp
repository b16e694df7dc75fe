// run and render-frame.
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <unistd.h>

#include "car/uCar.h"
#include "cli/CliCommands.h"
#include "replay/uReplay.h"
#include "simulation/uSimu.h"
#include "track/uPath.h"

namespace k2::cli {

namespace {

struct TRunOptions {
  QString Track, Car, Judge, Out;
  int32_t StepMs = 10;
  int64_t Steps = 1000;
  int32_t TimeoutMs = 2000;
  int64_t Laps = 0;  // end after this many completed laps; 0: no such end
  bool StopOffTrack = false;
  bool Json = false;
  bool Sandbox = true;
};

bool ParseInt(const QString& text, int64_t lo, int64_t hi, int64_t& out) {
  bool ok = false;
  const qlonglong v = text.toLongLong(&ok);
  if (!ok || v < lo || v > hi) return false;
  out = v;
  return true;
}

// Parses run's options; on failure returns the message.
QString ParseRun(const QStringList& args, TRunOptions& o) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--json")) {
      o.Json = true;
      continue;
    }
    if (a == QLatin1String("--no-sandbox")) {
      o.Sandbox = false;
      continue;
    }
    if (a == QLatin1String("--stop-off-track")) {
      o.StopOffTrack = true;
      continue;
    }
    static const char* const valued[] = {"--track", "--car",   "--judge",         "--out",
                                         "--step",  "--steps", "--judge-timeout", "--laps"};
    if (std::none_of(std::begin(valued), std::end(valued),
                     [&](const char* name) { return a == QLatin1String(name); }))
      return QStringLiteral("run: unknown option %1 (see --help)").arg(a);
    if (i + 1 >= args.size()) return QStringLiteral("%1 needs a value").arg(a);
    const QString& v = args[++i];
    int64_t n = 0;
    if (a == QLatin1String("--track"))
      o.Track = v;
    else if (a == QLatin1String("--car"))
      o.Car = v;
    else if (a == QLatin1String("--judge"))
      o.Judge = v;
    else if (a == QLatin1String("--out"))
      o.Out = v;
    else if (a == QLatin1String("--step")) {
      if (!ParseInt(v, 10, 10000, n))
        return QStringLiteral("--step: a whole number of ms from 10 to 10000");
      o.StepMs = static_cast<int32_t>(n);
    } else if (a == QLatin1String("--steps")) {
      if (!ParseInt(v, 0, 1000000000, n)) return QStringLiteral("--steps: a whole number from 0");
      o.Steps = n;
    } else if (a == QLatin1String("--judge-timeout")) {
      if (!ParseInt(v, 1, 3600000, n))
        return QStringLiteral("--judge-timeout: a whole number of ms from 1");
      o.TimeoutMs = static_cast<int32_t>(n);
    } else if (a == QLatin1String("--laps")) {
      if (!ParseInt(v, 1, INT32_MAX, n)) return QStringLiteral("--laps: a whole number from 1");
      o.Laps = n;
    }
  }
  if (o.Track.isEmpty() || o.Car.isEmpty() || o.Judge.isEmpty())
    return QStringLiteral("run needs --track, --car and --judge (see --help)");
  // The simulated time is a signed 32-bit count of milliseconds.
  if (o.Steps * o.StepMs > INT32_MAX)
    return QStringLiteral("--steps: the run may last at most %1 ms of simulated time")
        .arg(INT32_MAX);
  return QString();
}

class TProgress {
 public:
  explicit TProgress(int64_t total) : Total(total), Shown(isatty(STDERR_FILENO) && total > 0) {}
  void Update(int64_t done) {
    if (!Shown) return;
    const int percent = static_cast<int>(done * 100 / Total);
    if (percent == Last) return;
    Last = percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\r[%-40.*s] %3d%% %lld/%lld steps", filled,
                 "########################################", percent, static_cast<long long>(done),
                 static_cast<long long>(Total));
    std::fflush(stderr);
  }
  void Finish() {
    if (Shown && Last >= 0) std::fputc('\n', stderr);
  }

 private:
  int64_t Total;
  bool Shown;
  int Last = -1;
};

// The ends a run may be given besides its number of steps, after a recorded step.
bool RunEnds(const TLapFigures& now, const TRunOptions& o) {
  return (o.Laps > 0 && now.Laps >= o.Laps) || (o.StopOffTrack && now.OffTrack);
}

int SaveRecord(TSimu& sim, const TRunOptions& o) {
  if (o.Out.isEmpty()) return ExitOk;
  sim.RecordFile = o.Out;
  if (!sim.SaveToFile())
    return Fail(o.Out + QStringLiteral(": ") + QStringLiteral("保存失败！") + QLatin1Char(' ') +
                sim.LastError);
  return ExitOk;
}

void PrintSummary(const TSimu& sim, const TRunOptions& o, int64_t steps, double wallS,
                  float maxWarp) {
  const double rate = wallS > 0 ? steps / wallS : 0;
  if (o.Json) {
    TJsonWriter w;
    w.BeginObject();
    w.Key("steps").Int(steps);
    w.Key("sim_ms").Int(sim.TimeMs);
    w.Key("wall_s").Double(wallS);
    w.Key("steps_per_s").Double(rate);
    w.Key("max_warp").Float(maxWarp);
    w.Key("final").BeginObject();
    w.Key("PosX").Float(sim.Pos.X);
    w.Key("PosY").Float(sim.Pos.Y);
    w.Key("Heading").Float(sim.Car->Heading);
    w.EndObject();
    WriteLapKeys(w, sim.Laps().Course().Length(), sim.Laps().Laps(), sim.Laps().Figures());
    w.EndObject();
    std::printf("%s\n", w.Text().c_str());
  } else {
    std::printf(
        "%lld steps, %.2f s simulated in %.3f s (%.0f steps/s); largest deviation %.1f mm; "
        "final position (%.1f, %.1f) mm, heading %.1f°\n",
        static_cast<long long>(steps), sim.TimeMs / 1000.0, wallS, rate, maxWarp, sim.Pos.X,
        sim.Pos.Y, sim.Car->Heading);
  }
  std::fflush(stdout);
}

}  // namespace

int CmdRun(const QStringList& args) {
  TRunOptions o;
  const QString bad = ParseRun(args, o);
  if (!bad.isEmpty()) return Fail(bad);

  TSimu sim(nullptr, nullptr, nullptr, nullptr);
  sim.Judge().SetTimeoutMs(o.TimeoutMs);
  sim.Judge().SetSandbox(o.Sandbox);
  sim.Judge().SetOutputSink(
      [](const QString& line) { std::fprintf(stderr, "%s\n", line.toUtf8().constData()); });
  // The same order as the simulation page: each load is followed by Prepare.
  if (!sim.LoadTrack(o.Track)) return Fail(o.Track + QStringLiteral(": 赛道文件加载错误！"));
  sim.Prepare();
  if (!sim.LoadCar(o.Car)) return Fail(o.Car + QStringLiteral(": 赛车文件加载错误！"));
  sim.Prepare();
  if (!sim.LoadJudge(o.Judge) || !sim.Prepare())
    return Fail(o.Judge + QStringLiteral(": 决策文件加载错误！ ") + sim.Judge().FailureText());
  sim.SetStepMs(o.StepMs);
  // Said before the run, not after it: the record will hold these names as references.
  QString notice;
  if (!o.Out.isEmpty() &&
      NamesNeedReferences({sim.TrackFileName, sim.CarFileName, sim.JudgeFileName}, notice))
    std::fprintf(stderr, "%s: %s\n", o.Out.toUtf8().constData(), notice.toUtf8().constData());

  TProgress progress(o.Steps);

  QElapsedTimer clock;
  clock.start();
  float maxWarp = 0;
  int64_t done = 0;
  for (; done < o.Steps; ++done) {
    if (!sim.Step()) {
      progress.Finish();
      Fail(o.Judge + QStringLiteral(": Judge()函数调用错误，请检查函数编写是否正确！ (step %1) %2")
                         .arg(done + 1)
                         .arg(sim.Judge().FailureText()),
           ExitJudgeFailed);
      SaveRecord(sim, o);  // a failed save has printed its own message
      return ExitJudgeFailed;
    }
    sim.AddRecord();
    maxWarp = std::max(maxWarp, sim.Warp);
    progress.Update(done + 1);
    if (RunEnds(sim.Laps().Figures(), o)) {
      ++done;
      break;
    }
  }
  progress.Finish();
  const double wallS = clock.nsecsElapsed() / 1e9;
  const int saved = SaveRecord(sim, o);
  if (saved != ExitOk) return saved;
  PrintSummary(sim, o, done, wallS, maxWarp);
  return ExitOk;
}

int CmdRenderFrame(const QStringList& args) {
  if (args.size() != 3)
    return Fail(QStringLiteral("render-frame takes R.krf INDEX OUT.png (see --help)"));
  const QString& file = args[0];
  bool ok = false;
  const int index = args[1].toInt(&ok);
  QImage draw = MakeViewRaster(SimuMainViewSize);
  QImage view = MakeViewRaster(RunOverviewSize);
  TReplay replay(&draw, RunMainSpan, &view, RunOverviewSpan, nullptr, nullptr);
  replay.RecordFile = file;
  if (!replay.LoadFromFile()) return Fail(file + QStringLiteral(": 仿真记录文件打开错误！"));
  if (!ok || index < 0 || index >= replay.RecordCount)
    return Fail(file +
                QStringLiteral(": INDEX must lie between 0 and %1").arg(replay.RecordCount - 1));
  replay.SeekIndex(index);
  replay.DrawFrame();
  return WritePng(draw, args[2]);
}

}  // namespace k2::cli
