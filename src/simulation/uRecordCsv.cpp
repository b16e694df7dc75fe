#include "simulation/uRecordCsv.h"

#include <QByteArray>
#include <charconv>

#include "base/uFileSave.h"
#include "simulation/uLaps.h"
#include "simulation/uRecord.h"

namespace k2 {

namespace {

constexpr const char* FieldNames[7] = {"PosX",  "PosY", "Heading", "SteerAngle",
                                       "Speed", "Acc",  "Warp"};
constexpr qsizetype ChunkBytes = 1 << 16;

template <class T>
void Append(QByteArray& out, T value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, static_cast<qsizetype>(r.ptr - buf));
}

QByteArray Header(int32_t sensors, bool laps) {
  QByteArray h("step,time_s");
  for (const char* name : FieldNames) h.append(',').append(name);
  for (int32_t k = 1; k <= sensors; ++k) h.append(",R").append(QByteArray::number(k));
  if (laps) h.append(",progress_mm,laps,lap_time_s,lap_valid,off_track");
  return h.append('\n');
}

void AppendLapCells(QByteArray& out, const TLapFigures& f, const std::vector<TLap>& laps) {
  out.append(',');
  Append(out, f.ProgressMm);
  out.append(',');
  Append(out, f.Laps);
  out.append(',');
  if (f.LapCompleted) Append(out, laps.back().TimeS);
  out.append(',');
  if (f.LapCompleted) out.append(laps.back().Valid ? '1' : '0');
  out.append(',').append(f.OffTrack ? '1' : '0');
}

// Without a track (null) the lap columns are left out.
bool WriteCsv(const QString& path, const TPath* track, const TRecords& records, int32_t stepMs,
              QString& error) {
  TAtomicFile file(path);
  if (!file.Open()) {
    error = file.Error();
    return false;
  }
  const int32_t sensors = records.SensorCount > 0 ? records.SensorCount : 0;
  const int32_t kept = std::min(sensors, records.Stride());
  QByteArray out = Header(sensors, track != nullptr);
  TLapTracker laps;
  if (track) laps.Start(*track);
  bool ok = true;
  for (int32_t i = 0; i < records.Count() && ok; ++i) {
    Append(out, i);
    out.append(',');
    Append(out, (static_cast<double>(i) + 1) * stepMs / 1000.0);
    for (int k = 0; k < 7; ++k) {
      out.append(',');
      Append(out, records.Fields(i)[k]);
    }
    for (int32_t k = 0; k < sensors; ++k) {
      out.append(',');
      Append(out, k < kept ? static_cast<int>(records.Readings(i)[k]) : 0);
    }
    if (track) {
      laps.AddStep(records.Position(i), records.Fields(i)[6], stepMs);
      AppendLapCells(out, laps.Figures(), laps.Laps());
    }
    out.append('\n');
    if (out.size() >= ChunkBytes) {
      ok = file.Write(out.constData(), static_cast<size_t>(out.size()));
      out.clear();
    }
  }
  if (ok) ok = file.Write(out.constData(), static_cast<size_t>(out.size())) && file.Commit();
  if (!ok) error = file.Error();
  return ok;
}

}  // namespace

bool WriteRecordCsv(const QString& path, const TRecords& records, int32_t stepMs, QString& error) {
  return WriteCsv(path, nullptr, records, stepMs, error);
}

bool WriteRecordCsv(const QString& path, const TPath& track, const TRecords& records,
                    int32_t stepMs, QString& error) {
  return WriteCsv(path, &track, records, stepMs, error);
}

}  // namespace k2
