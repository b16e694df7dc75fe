#include "simulation/uRecordCsv.h"

#include <QByteArray>
#include <charconv>

#include "base/uFileSave.h"
#include "simulation/uRecord.h"

namespace k2 {

namespace {

constexpr const char* FieldNames[7] = {"PosX", "PosY", "Heading", "SteerAngle",
                                       "Speed", "Acc", "Warp"};
constexpr qsizetype ChunkBytes = 1 << 16;

template <class T>
void Append(QByteArray& out, T value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, static_cast<qsizetype>(r.ptr - buf));
}

QByteArray Header(int32_t sensors) {
  QByteArray h("step,time_s");
  for (const char* name : FieldNames) h.append(',').append(name);
  for (int32_t k = 1; k <= sensors; ++k) h.append(",R").append(QByteArray::number(k));
  return h.append('\n');
}

}  // namespace

bool WriteRecordCsv(const QString& path, const TRecords& records, int32_t stepMs, QString& error) {
  TAtomicFile file(path);
  if (!file.Open()) {
    error = file.Error();
    return false;
  }
  const int32_t sensors = records.SensorCount > 0 ? records.SensorCount : 0;
  const int32_t kept = std::min(sensors, records.Stride());
  QByteArray out = Header(sensors);
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

}  // namespace k2
