// laps, and the lap keys of run's summary.
#include "cli/CliLaps.h"

#include <algorithm>
#include <cstdio>

#include "base/uStream.h"
#include "car/uCar.h"
#include "cli/CliCommands.h"
#include "simulation/uRecord.h"
#include "track/uPath.h"

namespace k2::cli {

void WriteLapKeys(TJsonWriter& w, double trackLengthMm, const std::vector<TLap>& laps,
                  const TLapFigures& last) {
  w.Key("track_length_mm").Double(trackLengthMm);
  w.Key("laps").Int(last.Laps);
  w.Key("lap_times_s").BeginArray();
  for (const TLap& lap : laps) w.Double(lap.TimeS);
  w.EndArray();
  w.Key("lap_valid").BeginArray();
  for (const TLap& lap : laps) w.Bool(lap.Valid);
  w.EndArray();
  w.Key("best_lap_s");
  if (last.BestLapS)
    w.Double(*last.BestLapS);
  else
    w.Null();
  w.Key("progress_mm").Double(last.ProgressMm);
  w.Key("off_track_steps").Int(last.OffTrackSteps);
}

bool SummariseRecord(const QString& path, TRecordSummary& out) {
  QByteArray bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  TPath track(nullptr, 3000, nullptr, 6000);
  TCar car(nullptr, 2000);
  TRecords records;
  TRecordNames names;
  int32_t stepMs = 0;
  if (!ReadRecordFile(bytes, names, stepMs, track, car, records)) return false;
  TRecordLaps laps;
  laps.Build(track, records, stepMs);
  out = TRecordSummary{};
  out.Steps = records.Count();
  out.StepMs = stepMs;
  // As run measures it while stepping.
  for (int32_t i = 0; i < records.Count(); ++i)
    out.MaxWarp = std::max(out.MaxWarp, records.Fields(i)[6]);
  out.TrackLengthMm = laps.TrackLength();
  out.Closed = laps.Closed();
  out.Laps = laps.Laps();
  out.Last = laps.At(records.Count() - 1);
  return true;
}

namespace {

void PrintLapTable(const TRecordSummary& s) {
  const TLapFigures& f = s.Last;
  if (!s.Closed) {
    std::printf("open track of %.1f mm: no laps; progress %.1f mm; %d off-track steps of %d\n",
                s.TrackLengthMm, f.ProgressMm, f.OffTrackSteps, s.Steps);
    return;
  }
  if (!s.Laps.empty()) std::printf("lap   time (s)   ends at (s)   valid\n");
  for (size_t k = 0; k < s.Laps.size(); ++k) {
    const TLap& lap = s.Laps[k];
    std::printf("%3zu %10.3f %13.3f   %s\n", k + 1, lap.TimeS, lap.EndMs / 1000,
                lap.Valid ? "yes" : "no");
  }
  if (f.BestLapS)
    std::printf("%d laps, best %.3f s", f.Laps, *f.BestLapS);
  else
    std::printf("%d laps, none valid", f.Laps);
  std::printf("; track %.1f mm, progress %.1f mm; %d off-track steps of %d\n", s.TrackLengthMm,
              f.ProgressMm, f.OffTrackSteps, s.Steps);
}

}  // namespace

int CmdLaps(const QStringList& args) {
  QStringList files;
  bool json = false;
  for (const QString& a : args) {
    if (a == QLatin1String("--json"))
      json = true;
    else if (a.startsWith(QLatin1String("--")))
      return Fail(QStringLiteral("laps: unknown option %1 (see --help)").arg(a));
    else
      files << a;
  }
  if (files.size() != 1) return Fail(QStringLiteral("laps takes one R.krf (see --help)"));
  TRecordSummary s;
  if (!SummariseRecord(files[0], s))
    return Fail(files[0] + QStringLiteral(": 仿真记录文件打开错误！"));
  if (json) {
    TJsonWriter w;
    w.BeginObject();
    w.Key("steps").Int(s.Steps);
    w.Key("sim_ms").Int(static_cast<int64_t>(s.Steps) * s.StepMs);
    w.Key("max_warp").Float(s.MaxWarp);
    WriteLapKeys(w, s.TrackLengthMm, s.Laps, s.Last);
    w.EndObject();
    std::printf("%s\n", w.Text().c_str());
  } else {
    PrintLapTable(s);
  }
  return std::fflush(stdout) == 0 ? ExitOk : ExitBadInput;
}

}  // namespace k2::cli
