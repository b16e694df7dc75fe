// race: several decision modules, each run on the same track and car, ranked.
//
// Every module runs in a run of its own in a child kurvino2-cli (so one module's
// failure or hang touches no other run), a number of them at a time.  Each child saves
// its record into a temporary folder, and the figures are read back from the records as
// laps reads them, so that a race and a run agree.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "cli/CliCommands.h"
#include "cli/CliLaps.h"
#include "track/uPath.h"

namespace k2::cli {

namespace {

constexpr int32_t RaceStepMs = 10;  // run's default step
constexpr int MaxJobs = 256;

enum class TFormat { Text, Json, Csv };

struct TRaceOptions {
  QString Track, Car;
  QStringList Judges;
  double TimeS = 120;  // simulated seconds per run
  int64_t Laps = 0;    // each run ends after this many laps; 0: runs the whole time
  int Jobs = 0;        // runs at a time; 0: one per processor
  TFormat Format = TFormat::Text;
};

struct TEntry {
  QString Judge;   // as given
  QString Module;  // its file name
  QString Ended;   // why the run ended early; empty when it ran to its end
  TRecordSummary Result;
};

QString ParseRace(const QStringList& args, TRaceOptions& o) {
  bool json = false, csv = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--json")) {
      json = true;
      continue;
    }
    if (a == QLatin1String("--csv")) {
      csv = true;
      continue;
    }
    static const char* const valued[] = {"--track", "--car",  "--judge",
                                         "--time",  "--laps", "--jobs"};
    if (std::none_of(std::begin(valued), std::end(valued),
                     [&](const char* name) { return a == QLatin1String(name); }))
      return QStringLiteral("race: unknown option %1 (see --help)").arg(a);
    if (i + 1 >= args.size()) return QStringLiteral("%1 needs a value").arg(a);
    const QString& v = args[++i];
    bool ok = false;
    if (a == QLatin1String("--track")) {
      o.Track = v;
    } else if (a == QLatin1String("--car")) {
      o.Car = v;
    } else if (a == QLatin1String("--judge")) {
      o.Judges << v;
    } else if (a == QLatin1String("--time")) {
      o.TimeS = v.toDouble(&ok);
      // The simulated time is a signed 32-bit count of milliseconds.
      if (!ok || !(o.TimeS >= RaceStepMs / 1000.0) || o.TimeS * 1000 > INT32_MAX)
        return QStringLiteral("--time: seconds of simulated time, from 0.01 to %1")
            .arg(INT32_MAX / 1000);
    } else if (a == QLatin1String("--laps")) {
      o.Laps = v.toLongLong(&ok);
      if (!ok || o.Laps < 1 || o.Laps > INT32_MAX)
        return QStringLiteral("--laps: a whole number from 1");
    } else if (a == QLatin1String("--jobs")) {
      o.Jobs = v.toInt(&ok);
      if (!ok || o.Jobs < 1 || o.Jobs > MaxJobs)
        return QStringLiteral("--jobs: a whole number from 1 to %1").arg(MaxJobs);
    }
  }
  if (json && csv) return QStringLiteral("race: --json and --csv exclude each other");
  o.Format = json ? TFormat::Json : csv ? TFormat::Csv : TFormat::Text;
  if (o.Track.isEmpty() || o.Car.isEmpty() || o.Judges.isEmpty())
    return QStringLiteral("race needs --track, --car and at least one --judge (see --help)");
  return QString();
}

// Refuses a track, car or module a run could not load at all, before any run starts.
QString CheckInputs(const TRaceOptions& o) {
  TPath track(nullptr, 3000, nullptr, 6000);
  track.FileName = o.Track;
  if (!QFileInfo(o.Track).isFile() || !track.LoadFromFile() || track.Elements.empty())
    return o.Track + QStringLiteral(": 赛道文件加载错误！");
  TCar car(nullptr, 2000);
  car.FileName = o.Car;
  if (!QFileInfo(o.Car).isFile() || !car.LoadFromFile())
    return o.Car + QStringLiteral(": 赛车文件加载错误！");
  for (const QString& judge : o.Judges)
    if (!QFileInfo(judge).isFile()) return judge + QStringLiteral(": 决策文件加载错误！");
  return QString();
}

// The child's own message (its last "kurvino2-cli: " line), without the module's path,
// which the leaderboard shows already.
QString ChildMessage(const QString& errFile, const QString& judge) {
  QByteArray text;
  ReadWholeFile(errFile, text);
  const QString prefix = QStringLiteral("kurvino2-cli: ");
  const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
  for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
    if (!it->startsWith(prefix)) continue;
    QString message = it->mid(prefix.size());
    if (message.startsWith(judge + QStringLiteral(": "))) message = message.mid(judge.size() + 2);
    return message.trimmed();
  }
  return QString();
}

// Why the child's run ended early, from how it ended; empty for a run that ran its
// course.
QString EndReason(bool started, QProcess::ExitStatus status, int code, const QString& message) {
  if (!started) return QStringLiteral("the run could not be started");
  if (status != QProcess::NormalExit) return QStringLiteral("the run crashed");
  if (code == ExitOk) return QString();
  if (!message.isEmpty()) return message;
  return QStringLiteral("the run ended with exit code %1").arg(code);
}

QString Seconds(double s) { return QString::number(s, 'f', 3); }

void PrintProgress(const TEntry& e, int done, int total) {
  QString line = QStringLiteral("race: %1/%2 %3: ").arg(done).arg(total).arg(e.Module);
  const TLapFigures& f = e.Result.Last;
  line += QStringLiteral("%1 laps").arg(f.Laps);
  if (f.BestLapS) line += QStringLiteral(", best %1 s").arg(Seconds(*f.BestLapS));
  if (!e.Ended.isEmpty()) line += QStringLiteral("; ended early: ") + e.Ended;
  std::fprintf(stderr, "%s\n", line.toUtf8().constData());
  std::fflush(stderr);
}

// Runs every entry's module, `jobs` at a time, and fills in its result.
void RunAll(const TRaceOptions& o, std::vector<TEntry>& entries, const QString& folder) {
  const int total = static_cast<int>(entries.size());
  const int64_t steps =
      std::min<int64_t>(std::llround(o.TimeS * 1000 / RaceStepMs), INT32_MAX / RaceStepMs);
  const int jobs = o.Jobs > 0 ? o.Jobs : std::max(1, QThread::idealThreadCount());
  // Kept until every run has ended: a child is never destroyed in its own signal.
  std::vector<std::unique_ptr<QProcess>> children(entries.size());
  QEventLoop loop;
  int next = 0, done = 0;
  auto record = [&](int k) { return folder + QStringLiteral("/%1.krf").arg(k); };
  auto errors = [&](int k) { return folder + QStringLiteral("/%1.err").arg(k); };

  std::function<void()> startNext;
  auto finish = [&](int k, bool started, QProcess::ExitStatus status, int code) {
    TEntry& e = entries[static_cast<size_t>(k)];
    e.Ended = EndReason(started, status, code, ChildMessage(errors(k), e.Judge));
    // A run that failed has saved the steps before the failure; one that could not load
    // its module has no record and keeps the empty result.
    SummariseRecord(record(k), e.Result);
    PrintProgress(e, ++done, total);
    if (next < total) startNext();
    if (done == total) loop.quit();
  };
  startNext = [&]() {
    const int k = next++;
    auto child = std::make_unique<QProcess>();
    child->setStandardOutputFile(QProcess::nullDevice());
    child->setStandardErrorFile(errors(k));
    QStringList args{QStringLiteral("--settings"),
                     ModelSettingsPath(),
                     QStringLiteral("run"),
                     QStringLiteral("--track"),
                     o.Track,
                     QStringLiteral("--car"),
                     o.Car,
                     QStringLiteral("--judge"),
                     entries[static_cast<size_t>(k)].Judge,
                     QStringLiteral("--steps"),
                     QString::number(steps),
                     QStringLiteral("--out"),
                     record(k)};
    if (o.Laps > 0) args << QStringLiteral("--laps") << QString::number(o.Laps);
    QProcess* p = child.get();
    QObject::connect(p, &QProcess::finished, &loop, [&, k](int code, QProcess::ExitStatus status) {
      finish(k, true, status, code);
    });
    // A child that never started sends no finished signal.
    QObject::connect(p, &QProcess::errorOccurred, &loop, [&, k](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) finish(k, false, QProcess::CrashExit, -1);
    });
    children[static_cast<size_t>(k)] = std::move(child);
    std::fprintf(stderr, "race: %s started\n",
                 entries[static_cast<size_t>(k)].Module.toUtf8().constData());
    std::fflush(stderr);
    p->start(QCoreApplication::applicationFilePath(), args);
  };
  for (int k = 0; k < std::min(jobs, total); ++k) startNext();
  if (done < total) loop.exec();
}

// Best valid lap first (a module without one after every module with one), then more
// laps, then fewer off-track steps; otherwise the order given.
bool Ahead(const TEntry& a, const TEntry& b) {
  const TLapFigures& x = a.Result.Last;
  const TLapFigures& y = b.Result.Last;
  if (x.BestLapS.has_value() != y.BestLapS.has_value()) return x.BestLapS.has_value();
  if (x.BestLapS && *x.BestLapS != *y.BestLapS) return *x.BestLapS < *y.BestLapS;
  if (x.Laps != y.Laps) return x.Laps > y.Laps;
  return x.OffTrackSteps < y.OffTrackSteps;
}

double TotalS(const TEntry& e) {
  return static_cast<double>(e.Result.Steps) * e.Result.StepMs / 1000;
}

std::string DoubleText(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

QString CsvCell(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')))
    return text;
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void PrintJson(const TRaceOptions& o, const std::vector<TEntry>& board) {
  TJsonWriter w;
  w.BeginObject();
  w.Key("track").String(FilePart(o.Track).toStdString());
  w.Key("car").String(FilePart(o.Car).toStdString());
  w.Key("results").BeginArray();
  for (size_t i = 0; i < board.size(); ++i) {
    const TEntry& e = board[i];
    const TLapFigures& f = e.Result.Last;
    w.BeginObject();
    w.Key("rank").Int(static_cast<int64_t>(i) + 1);
    w.Key("module").String(e.Module.toStdString());
    w.Key("judge").String(e.Judge.toStdString());
    w.Key("laps").Int(f.Laps);
    w.Key("best_lap_s");
    if (f.BestLapS)
      w.Double(*f.BestLapS);
    else
      w.Null();
    w.Key("total_time_s").Double(TotalS(e));
    w.Key("max_warp").Float(e.Result.MaxWarp);
    w.Key("off_track_steps").Int(f.OffTrackSteps);
    w.Key("ended_early");
    if (e.Ended.isEmpty())
      w.Null();
    else
      w.String(e.Ended.toStdString());
    w.Key("lap_times_s").BeginArray();
    for (const TLap& lap : e.Result.Laps) w.Double(lap.TimeS);
    w.EndArray();
    w.Key("lap_valid").BeginArray();
    for (const TLap& lap : e.Result.Laps) w.Bool(lap.Valid);
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  std::printf("%s\n", w.Text().c_str());
}

void PrintCsv(const std::vector<TEntry>& board) {
  std::printf("rank,module,laps,best_lap_s,total_time_s,max_warp,off_track_steps,ended_early\n");
  for (size_t i = 0; i < board.size(); ++i) {
    const TEntry& e = board[i];
    const TLapFigures& f = e.Result.Last;
    std::printf("%zu,%s,%d,%s,%s,%s,%d,%s\n", i + 1, CsvCell(e.Module).toUtf8().constData(), f.Laps,
                f.BestLapS ? DoubleText(*f.BestLapS).c_str() : "", DoubleText(TotalS(e)).c_str(),
                FloatText(e.Result.MaxWarp).c_str(), f.OffTrackSteps,
                CsvCell(e.Ended).toUtf8().constData());
  }
}

void PrintTable(const std::vector<TEntry>& board) {
  int width = 6;
  for (const TEntry& e : board) width = std::max(width, static_cast<int>(e.Module.size()));
  std::printf(
      "rank  %s  laps  best lap (s)  total time (s)  largest deviation (mm)  "
      "off-track steps  ended early\n",
      QStringLiteral("module").leftJustified(width).toUtf8().constData());
  for (size_t i = 0; i < board.size(); ++i) {
    const TEntry& e = board[i];
    const TLapFigures& f = e.Result.Last;
    const QString best = f.BestLapS ? Seconds(*f.BestLapS) : QStringLiteral("-");
    QString line =
        QString::asprintf("%4zu  ", i + 1) + e.Module.leftJustified(width) +
        QString::asprintf("  %4d  %12s  %14.3f  %22.1f  %15d", f.Laps, best.toUtf8().constData(),
                          TotalS(e), static_cast<double>(e.Result.MaxWarp), f.OffTrackSteps);
    if (!e.Ended.isEmpty()) line += QStringLiteral("  ") + e.Ended;
    std::printf("%s\n", line.toUtf8().constData());
  }
}

}  // namespace

int CmdRace(const QStringList& args) {
  TRaceOptions o;
  QString bad = ParseRace(args, o);
  if (bad.isEmpty()) bad = CheckInputs(o);
  if (!bad.isEmpty()) return Fail(bad);
  QTemporaryDir folder;
  if (!folder.isValid())
    return Fail(QStringLiteral("race: cannot make a temporary folder: ") + folder.errorString());

  std::vector<TEntry> entries;
  for (const QString& judge : o.Judges) {
    TEntry e;
    e.Judge = judge;
    e.Module = FilePart(judge);
    entries.push_back(std::move(e));
  }
  RunAll(o, entries, folder.path());
  std::stable_sort(entries.begin(), entries.end(), Ahead);
  if (o.Format == TFormat::Json)
    PrintJson(o, entries);
  else if (o.Format == TFormat::Csv)
    PrintCsv(entries);
  else
    PrintTable(entries);
  return std::fflush(stdout) == 0 ? ExitOk : ExitBadInput;
}

}  // namespace k2::cli
