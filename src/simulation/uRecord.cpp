#include "simulation/uRecord.h"

#include <QStringList>
#include <algorithm>
#include <array>

#include "base/uAssert.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"

namespace k2 {

namespace {

constexpr char RecordTag[] = "RecordFile";

}  // namespace

TRecords::TRecords() = default;
TRecords::~TRecords() = default;

void TRecords::Clear() {
  Blocks.clear();
  Size = 0;
  StrideBytes = 0;
  ++Generation;
}

size_t TRecords::MemoryBytes() const {
  size_t bytes = Blocks.capacity() * sizeof(Blocks[0]);
  for (const auto& b : Blocks)
    bytes += sizeof(TBlock) + static_cast<size_t>(b->Capacity) * (7 * sizeof(float) + StrideBytes);
  return bytes;
}

void TRecords::Resize(TBlock& block, int32_t capacity, int32_t stride) {
  const int32_t kept = std::min(block.Capacity, capacity);
  auto floats = std::make_unique<float[]>(7 * static_cast<size_t>(capacity));
  auto bytes = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity) * stride);
  if (block.Floats) std::copy_n(block.Floats.get(), 7 * static_cast<size_t>(kept), floats.get());
  for (int32_t r = 0; r < kept && StrideBytes > 0; ++r)
    std::copy_n(block.Bytes.get() + static_cast<size_t>(r) * StrideBytes,
                std::min(StrideBytes, stride), bytes.get() + static_cast<size_t>(r) * stride);
  block.Floats = std::move(floats);
  block.Bytes = std::move(bytes);
  block.Capacity = capacity;
}

void TRecords::Widen(int32_t stride) {
  for (auto& block : Blocks) Resize(*block, block->Capacity, stride);
  StrideBytes = stride;
}

float* TRecords::AppendSlot(int32_t expected) {
  const int32_t k = Size & (BlockSize - 1);
  if (k == 0) {
    Blocks.push_back(std::make_unique<TBlock>());
    const int32_t room = expected > 0 ? expected : Blocks.size() == 1 ? FirstCapacity : BlockSize;
    Resize(*Blocks.back(), std::min(room, BlockSize), StrideBytes);
  } else if (k == Blocks.back()->Capacity) {
    Resize(*Blocks.back(), std::min(2 * k, BlockSize), StrideBytes);
  }
  ++Size;
  return Blocks.back()->Floats.get() + 7 * static_cast<size_t>(k);
}

void TRecords::Add(const float (&fields)[7], const uint8_t* readings, int32_t count) {
  K2_ASSERT(count >= 0 && Size < INT32_MAX);
  if (count > StrideBytes) Widen(count);
  float* f = AppendSlot();
  std::copy_n(fields, 7, f);
  uint8_t* bytes = ReadingsAt(Size - 1);
  std::copy_n(readings, count, bytes);
  std::fill(bytes + count, bytes + StrideBytes, 0);
}

void TRecords::Add(const TRecordData& r) {
  const float fields[7] = {r.PosX, r.PosY, r.Heading, r.SteerAngle, r.Speed, r.Acc, r.Warp};
  Add(fields, r.Readings.data(), static_cast<int32_t>(r.Readings.size()));
}

TRecordData TRecords::At(int32_t i) const {
  K2_ASSERT(i >= 0 && i < Size);
  const float* f = Fields(i);
  TRecordData r;
  r.PosX = f[0];
  r.PosY = f[1];
  r.Heading = f[2];
  r.SteerAngle = f[3];
  r.Speed = f[4];
  r.Acc = f[5];
  r.Warp = f[6];
  r.Readings.assign(Readings(i), Readings(i) + StrideBytes);
  return r;
}

void TRecords::SaveToStream(TStreamWriter& s) const {
  const int32_t n = SensorCount > 0 ? SensorCount : 0;
  s.WriteInt32(SensorCount);
  s.WriteInt32(Count());
  const int32_t kept = std::min(n, StrideBytes);
  const QByteArray zeros(n - kept, '\0');
  for (int32_t i = 0; i < Size; ++i) {
    for (int k = 0; k < 7; ++k) s.WriteFloat(Fields(i)[k]);
    s.WriteBytes(reinterpret_cast<const char*>(Readings(i)), kept);
    s.WriteBytes(zeros);
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
  StrideBytes = sensors;
  for (int32_t i = 0; i < n; ++i) {
    // The reader knows how many come: blocks take exactly what the file holds.
    float* f = AppendSlot(n - i);
    for (int k = 0; k < 7; ++k) f[k] = s.ReadFloat();
    s.ReadInto(ReadingsAt(i), sensors);
  }
  if (s.Failed()) {
    Clear();
    return false;
  }
  K2_ASSERT(Count() == n);
  return true;
}

namespace {

struct TNameField {
  const QString& Name;
  const std::optional<QByteArray>& Bytes;
  const char* What;
};

std::array<TNameField, 3> NameFields(const TRecordNames& names) {
  return {{{names.Track, names.TrackBytes, "track file name"},
           {names.Car, names.CarBytes, "car file name"},
           {names.Judge, names.JudgeBytes, "decision module name"}}};
}

void EncodeNames(const TRecordNames& names, QByteArray (&gbk)[3]) {
  const auto fields = NameFields(names);
  for (int i = 0; i < 3; ++i)
    gbk[i] = fields[i].Bytes ? *fields[i].Bytes : RecordNameBytes(fields[i].Name);
}

void WriteBody(TStreamWriter& s, const QByteArray (&gbk)[3], int32_t stepMs, const TPath& track,
               const TCar& car, const TRecords& records) {
  s.WriteHead(RecordTag, FileVersion);
  for (const QByteArray& name : gbk) s.WriteString(name);
  s.WriteInt32(stepMs);
  track.SaveToStream(s);
  car.WriteCarRecord(s);
  records.SaveToStream(s);
}

}  // namespace

bool NamesNeedReferences(const TRecordNames& names, QString& notice) {
  QStringList which;
  for (const TNameField& f : NameFields(names)) {
    QByteArray unused;
    if (!f.Bytes && !ToGbk(f.Name, unused))
      which << QStringLiteral("the %1 \"%2\"").arg(QLatin1String(f.What), f.Name);
  }
  if (which.isEmpty()) return false;
  notice = which.join(QStringLiteral(", ")) + QStringLiteral(
                                                  ": characters GBK cannot encode are stored in "
                                                  "the record as &#xHHHH; (their code points)");
  return true;
}

QByteArray RecordNameBytes(const QString& text) {
  QByteArray out;
  ToGbkSubstituting(text, out);
  return out;
}

bool BuildRecordFile(const TRecordNames& names, int32_t stepMs, const TPath& track, const TCar& car,
                     const TRecords& records, QByteArray& out, QString& error) {
  (void)error;
  QByteArray gbk[3];
  EncodeNames(names, gbk);
  TStreamWriter s;
  WriteBody(s, gbk, stepMs, track, car, records);
  out = s.Data();
  return true;
}

bool WriteRecordFile(const QString& path, const TRecordNames& names, int32_t stepMs,
                     const TPath& track, const TCar& car, const TRecords& records, QString& error) {
  QByteArray gbk[3];
  EncodeNames(names, gbk);
  TAtomicFile file(path);
  if (file.Open()) {
    TStreamWriter s(file);
    WriteBody(s, gbk, stepMs, track, car, records);
    if (s.Flush() && file.Commit()) return true;
  }
  error = file.Error();
  SetLastSaveError(error);
  return false;
}

bool ReadRecordFile(const QByteArray& bytes, TRecordNames& names, int32_t& stepMs, TPath& track,
                    TCar& car, TRecords& records) {
  TStreamReader s(bytes);
  if (!s.ReadHead(RecordTag, FileVersion)) return false;
  // The file replaces whatever the track and car held.
  track.Clear();
  car.ClearSensors();

  for (auto [text, bytes] :
       {std::pair{&names.Track, &names.TrackBytes}, std::pair{&names.Car, &names.CarBytes},
        std::pair{&names.Judge, &names.JudgeBytes}}) {
    const QByteArray stored = s.ReadString();
    *text = FromGbk(stored);
    // Kept only when the text would not give the same bytes again.
    if (RecordNameBytes(*text) != stored) *bytes = stored;
  }

  stepMs = s.ReadInt32();
  if (s.Failed() || !track.LoadFromStream(s) || !car.ReadCarRecord(s) || !records.LoadFromStream(s))
    return false;
  return !s.Failed();
}

}  // namespace k2
