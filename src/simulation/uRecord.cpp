#include "simulation/uRecord.h"

#include "base/uAssert.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"

namespace k2 {

namespace {

constexpr char RecordTag[] = "RecordFile";

bool WriteName(TStreamWriter& s, const QString& name, const char* what, QString& error) {
  QByteArray gbk;
  if (!ToGbk(name, gbk)) {
    error = QStringLiteral("%1 \"%2\" holds a character that GBK cannot encode")
                .arg(QString::fromLatin1(what), name);
    return false;
  }
  s.WriteString(gbk);
  return true;
}

}  // namespace

void TRecords::SaveToStream(TStreamWriter& s) const {
  const int32_t n = SensorCount > 0 ? SensorCount : 0;
  s.WriteInt32(SensorCount);
  s.WriteInt32(Count());
  QByteArray readings;
  if (!Items.empty()) readings.resize(n);
  for (const auto& r : Items) {
    s.WriteFloat(r->PosX);
    s.WriteFloat(r->PosY);
    s.WriteFloat(r->Heading);
    s.WriteFloat(r->SteerAngle);
    s.WriteFloat(r->Speed);
    s.WriteFloat(r->Acc);
    s.WriteFloat(r->Warp);
    for (int32_t i = 0; i < n; ++i)
      readings[i] =
          i < static_cast<int32_t>(r->Readings.size()) ? static_cast<char>(r->Readings[i]) : '\0';
    s.WriteBytes(readings);
  }
}

bool TRecords::LoadFromStream(TStreamReader& s) {
  Clear();
  const int32_t sensors = s.ReadInt32();
  const int32_t n = s.ReadInt32();
  if (s.Failed() || sensors < 0 || n < 0 ||
      static_cast<int64_t>(n) * (static_cast<int64_t>(RecordFixedSize) + sensors) > s.Remaining()) {
    s.Fail();
    return false;
  }
  SensorCount = sensors;
  Items.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    auto r = std::make_unique<TRecordData>();
    r->PosX = s.ReadFloat();
    r->PosY = s.ReadFloat();
    r->Heading = s.ReadFloat();
    r->SteerAngle = s.ReadFloat();
    r->Speed = s.ReadFloat();
    r->Acc = s.ReadFloat();
    r->Warp = s.ReadFloat();
    const QByteArray bytes = s.ReadBytes(sensors);
    r->Readings.assign(bytes.begin(), bytes.end());
    Items.push_back(std::move(r));
  }
  if (s.Failed()) {
    Clear();
    return false;
  }
  K2_ASSERT(Count() == n);
  return true;
}


bool BuildRecordFile(const TRecordNames& names, int32_t stepMs, const TPath& track, const TCar& car,
                     const TRecords& records, QByteArray& out, QString& error) {
  TStreamWriter s;
  s.WriteHead(RecordTag, FileVersion);
  if (!WriteName(s, names.Track, "the track file name", error) ||
      !WriteName(s, names.Car, "the car file name", error) ||
      !WriteName(s, names.Judge, "the decision module name", error))
    return false;
  s.WriteInt32(stepMs);
  track.SaveToStream(s);
  car.WriteCarRecord(s);
  records.SaveToStream(s);
  out = s.Data();
  return true;
}

bool ReadRecordFile(const QByteArray& bytes, TRecordNames& names, int32_t& stepMs, TPath& track,
                    TCar& car, TRecords& records) {
  TStreamReader s(bytes);
  if (!s.ReadHead(RecordTag, FileVersion)) return false;
  // The file replaces whatever the track and car held.
  track.Clear();
  car.ClearSensors();

  names.Track = FromGbk(s.ReadString());
  names.Car = FromGbk(s.ReadString());
  names.Judge = FromGbk(s.ReadString());
  stepMs = s.ReadInt32();
  if (s.Failed() || !track.LoadFromStream(s) || !car.ReadCarRecord(s) || !records.LoadFromStream(s))
    return false;
  return !s.Failed();
}

}  // namespace k2
