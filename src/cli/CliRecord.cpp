// dump and build of record files.
#include <array>
#include <memory>
#include <optional>

#include "base/uStream.h"
#include "car/uCar.h"
#include "cli/CliCar.h"
#include "cli/CliCommands.h"
#include "simulation/uRecord.h"
#include "simulation/uRecordCsv.h"
#include "track/uPath.h"

namespace k2::cli {

namespace {

struct TNameKey {
  const char* Key;
  QString* Text;
  std::optional<QByteArray>* Stored;
};

std::array<TNameKey, 3> NameKeys(TRecordNames& names) {
  return {{{"TrackFileName", &names.Track, &names.TrackBytes},
           {"CarFileName", &names.Car, &names.CarBytes},
           {"JudgeFileName", &names.Judge, &names.JudgeBytes}}};
}

bool DumpRecord(const QByteArray& bytes, TJsonWriter& w, QString& error) {
  TPath track(nullptr, 3000, nullptr, 6000);
  TCar car(nullptr, 2000);
  TRecords records;
  TRecordNames names;
  int32_t stepMs = 0;
  if (!ReadRecordFile(bytes, names, stepMs, track, car, records)) {
    error = QStringLiteral("not a readable record file (wrong head, or the file ends early)");
    return false;
  }
  w.BeginObject();
  w.Key("type").String("record");
  for (const auto& [key, text, stored] : NameKeys(names)) {
    w.Key(key).String(text->toStdString());
    // Names that are not valid GBK: the stored bytes too, so that build gives them back.
    if (*stored)
      w.Key((std::string(key) + "Bytes").c_str()).String(stored->value().toHex().toStdString());
  }
  w.Key("StepMs").Int(stepMs);
  w.Key("Track").BeginObject();
  WriteTrackFields(w, track);
  w.EndObject();
  w.Key("Car").BeginObject();
  WriteCarFields(w, car);
  w.EndObject();
  w.Key("SensorCount").Int(records.SensorCount);
  w.Key("Records").BeginArray();
  static const char* const fieldNames[7] = {"PosX",  "PosY", "Heading", "SteerAngle",
                                            "Speed", "Acc",  "Warp"};
  for (int32_t i = 0; i < records.Count(); ++i) {
    w.BeginObject();
    const float* f = records.Fields(i);
    for (int k = 0; k < 7; ++k) w.Key(fieldNames[k]).Float(f[k]);
    w.Key("Readings").BeginArray();
    for (int32_t k = 0; k < records.Stride(); ++k) w.Int(records.Readings(i)[k]);
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  return true;
}

bool ReadName(const TJsonValue& doc, const char* key, QString& out,
              std::optional<QByteArray>& stored, QString& error) {
  if (const TJsonValue* v = doc.Find(key)) {
    std::string s;
    if (!GetString(*v, QString::fromLatin1(key), s, error)) return false;
    out = QString::fromStdString(s);
  }
  const std::string bytesKey = std::string(key) + "Bytes";
  if (const TJsonValue* v = doc.Find(bytesKey.c_str())) {
    std::string hex;
    if (!GetString(*v, QString::fromStdString(bytesKey), hex, error)) return false;
    const QByteArray raw = QByteArray::fromStdString(hex);
    if (raw.size() % 2 || QByteArray::fromHex(raw).toHex() != raw.toLower()) {
      error = QString::fromStdString(bytesKey) +
              QStringLiteral(": expected hexadecimal digits in pairs");
      return false;
    }
    stored = QByteArray::fromHex(raw);
  }
  return true;
}

bool ReadRecord(const TJsonValue& v, int32_t sensors, const QString& where, TRecordData& r,
                QString& error) {
  const char* keys[7] = {"PosX", "PosY", "Heading", "SteerAngle", "Speed", "Acc", "Warp"};
  float* fields[7] = {&r.PosX, &r.PosY, &r.Heading, &r.SteerAngle, &r.Speed, &r.Acc, &r.Warp};
  for (int i = 0; i < 7; ++i) {
    const TJsonValue* f = Member(v, keys[i], where, error);
    if (!f || !GetFloat(*f, where + QLatin1Char('.') + QLatin1String(keys[i]), *fields[i], error))
      return false;
  }
  const TJsonValue* readings = Member(v, "Readings", where, error);
  if (!readings) return false;
  if (!readings->IsArray() || static_cast<int64_t>(readings->Items.size()) != sensors) {
    error = where +
            QStringLiteral(".Readings: expected an array of SensorCount (%1) bytes").arg(sensors);
    return false;
  }
  r.Readings.resize(readings->Items.size());
  for (size_t i = 0; i < readings->Items.size(); ++i)
    if (!GetUInt8(readings->Items[i], where + QStringLiteral(".Readings"), r.Readings[i], error))
      return false;
  return true;
}

bool BuildRecord(const TJsonValue& doc, QByteArray& bytes, QString& error) {
  TRecordNames names;
  for (const auto& [key, text, stored] : NameKeys(names))
    if (!ReadName(doc, key, *text, *stored, error)) return false;
  int32_t stepMs = 10;
  if (const TJsonValue* v = doc.Find("StepMs"))
    if (!GetInt32(*v, QStringLiteral("StepMs"), stepMs, error)) return false;
  TPath track(nullptr, 3000, nullptr, 6000);
  const TJsonValue* t = Member(doc, "Track", QStringLiteral("record"), error);
  if (!t || !ReadTrackFields(*t, track, error)) return false;
  TCar car(nullptr, 2000);
  const TJsonValue* c = Member(doc, "Car", QStringLiteral("record"), error);
  if (!c || !ReadCarFields(*c, car, error)) return false;
  TRecords records;
  records.SensorCount = static_cast<int32_t>(car.LightSensors.size());
  if (const TJsonValue* s = doc.Find("SensorCount"))
    if (!GetInt32(*s, QStringLiteral("SensorCount"), records.SensorCount, error)) return false;
  if (records.SensorCount < 0) {
    error = QStringLiteral("SensorCount: must not be negative");
    return false;
  }
  const TJsonValue* list = doc.Find("Records");
  if (list && !list->IsArray()) {
    error = QStringLiteral("Records: expected an array");
    return false;
  }
  if (list) {
    for (size_t i = 0; i < list->Items.size(); ++i) {
      auto r = std::make_unique<TRecordData>();
      if (!ReadRecord(list->Items[i], records.SensorCount, QStringLiteral("Records[%1]").arg(i), *r,
                      error))
        return false;
      records.Add(std::move(r));
    }
  }
  return BuildRecordFile(names, stepMs, track, car, records, bytes, error);
}

}  // namespace

const TFileKind& RecordKind() {
  static const TFileKind kind{"RecordFile", "record", &DumpRecord, &BuildRecord};
  return kind;
}

int CmdExportCsv(const QStringList& args) {
  if (args.size() != 2)
    return Fail(QStringLiteral("export-csv takes R.krf and OUT.csv (see --help)"));
  const QString& in = args[0];
  QByteArray bytes;
  if (!ReadWholeFile(in, bytes)) return Fail(in + QStringLiteral(": cannot read the file"));
  TPath track(nullptr, 3000, nullptr, 6000);
  TCar car(nullptr, 2000);
  TRecords records;
  TRecordNames names;
  int32_t stepMs = 0;
  if (!ReadRecordFile(bytes, names, stepMs, track, car, records))
    return Fail(in + QStringLiteral(": 仿真记录文件打开错误！"));
  QString error;
  if (!WriteRecordCsv(args[1], track, records, stepMs, error))
    return Fail(args[1] + QStringLiteral(": cannot write the file: ") + error);
  return ExitOk;
}

}  // namespace k2::cli
