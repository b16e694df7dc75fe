// The compact record store: records kept in blocks with one reading stride must give
// back exactly what was added, across block boundaries and as the stride widens, and
// must write the record file's bytes as a plain writer of the records would.
#include <gtest/gtest.h>

#include <QByteArray>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/uStream.h"
#include "common/TestSupport.h"
#include "simulation/uRecord.h"

namespace k2 {
namespace {

// What a record was added with.
struct TAdded {
  float Fields[7];
  std::vector<uint8_t> Readings;
};

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// Fields that differ from record to record in every position, with a NaN, a negative
// zero and an infinity now and then (stored bit for bit, never computed with).
TAdded MakeRecord(int32_t i, int32_t readings) {
  TAdded r;
  for (int k = 0; k < 7; ++k) r.Fields[k] = static_cast<float>(i) * 7 + k + 0.25f * (k % 3);
  if (i % 997 == 3) r.Fields[6] = std::numeric_limits<float>::quiet_NaN();
  if (i % 1009 == 5) r.Fields[2] = -0.0f;
  if (i % 1013 == 7) r.Fields[0] = -std::numeric_limits<float>::infinity();
  for (int32_t k = 0; k < readings; ++k)
    r.Readings.push_back(static_cast<uint8_t>(1 + (i * 31 + k * 7) % 255));
  return r;
}

TRecordData ToData(const TAdded& r) {
  TRecordData d;
  d.PosX = r.Fields[0];
  d.PosY = r.Fields[1];
  d.Heading = r.Fields[2];
  d.SteerAngle = r.Fields[3];
  d.Speed = r.Fields[4];
  d.Acc = r.Fields[5];
  d.Warp = r.Fields[6];
  d.Readings = r.Readings;
  return d;
}

// Adds through each of the three ways in turn.
void Add(TRecords& records, const TAdded& r, int32_t i) {
  if (i % 3 == 0)
    records.Add(r.Fields, r.Readings.data(), static_cast<int32_t>(r.Readings.size()));
  else if (i % 3 == 1)
    records.Add(ToData(r));
  else
    records.Add(std::make_unique<TRecordData>(ToData(r)));
}

// Record i as stored matches what it was added with: its fields bit for bit, its
// readings followed by zeros up to the stride, through At, Fields, Readings and
// Position alike.
::testing::AssertionResult SameRecord(const TRecords& records, int32_t i, const TAdded& want) {
  const int32_t stride = records.Stride();
  std::vector<uint8_t> padded = want.Readings;
  padded.resize(static_cast<size_t>(stride), 0);
  const float* f = records.Fields(i);
  const TRecordData at = records.At(i);
  const float atFields[7] = {at.PosX,  at.PosY, at.Heading, at.SteerAngle,
                             at.Speed, at.Acc,  at.Warp};
  for (int k = 0; k < 7; ++k)
    if (Bits(f[k]) != Bits(want.Fields[k]) || Bits(atFields[k]) != Bits(want.Fields[k]))
      return ::testing::AssertionFailure() << "record " << i << " field " << k << ": " << f[k]
                                           << " / " << atFields[k] << " for " << want.Fields[k];
  const TPointF p = records.Position(i);
  if (Bits(p.X) != Bits(want.Fields[0]) || Bits(p.Y) != Bits(want.Fields[1]))
    return ::testing::AssertionFailure() << "record " << i << " position";
  if (at.Readings != padded || !std::equal(padded.begin(), padded.end(), records.Readings(i)))
    return ::testing::AssertionFailure() << "record " << i << " readings (stride " << stride << ")";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AllSame(const TRecords& records, const std::vector<TAdded>& added) {
  if (records.Count() != static_cast<int32_t>(added.size()))
    return ::testing::AssertionFailure() << records.Count() << " records for " << added.size();
  for (int32_t i = 0; i < records.Count(); ++i)
    if (auto ok = SameRecord(records, i, added[static_cast<size_t>(i)]); !ok) return ok;
  return ::testing::AssertionSuccess();
}

// The record list as a plain writer would put it in the file: SensorCount, the count,
// then per record its seven floats and exactly SensorCount reading bytes (missing ones
// 0, extra ones dropped; none for a negative count).
QByteArray ReferenceBytes(int32_t sensorCount, const std::vector<TAdded>& added) {
  QByteArray b = test::LE32(sensorCount) + test::LE32(static_cast<int32_t>(added.size()));
  for (const TAdded& r : added) {
    for (float f : r.Fields) b += test::LEFloat(f);
    for (int32_t k = 0; k < sensorCount; ++k)
      b += static_cast<char>(
          static_cast<size_t>(k) < r.Readings.size() ? r.Readings[static_cast<size_t>(k)] : 0);
  }
  return b;
}

QByteArray Saved(const TRecords& records) {
  TStreamWriter w;
  records.SaveToStream(w);
  return w.Data();
}

// Stretches of records with their reading counts: the stride widens inside the first
// block, at a block's first record and deep in a later block, and narrower records
// follow wider ones.  10 000 records span three blocks of 4096.
struct TStretch {
  int32_t Until;  // records 0..Until - 1 so far
  int32_t Readings;
};
constexpr TStretch Stretches[] = {{100, 0}, {4096, 2}, {4097, 5}, {8000, 1}, {8500, 8}, {10000, 3}};

std::vector<TAdded> FillRecords(TRecords& records) {
  std::vector<TAdded> added;
  int32_t i = 0;
  for (const TStretch& s : Stretches)
    for (; i < s.Until; ++i) {
      added.push_back(MakeRecord(i, s.Readings));
      Add(records, added.back(), i);
    }
  return added;
}

TEST(RecordStore, GivesBackWhatWasAddedAcrossBlocksAsTheStrideWidens) {
  TRecords records;
  std::vector<TAdded> added;
  int32_t i = 0, widest = 0;
  for (const TStretch& s : Stretches) {
    for (; i < s.Until; ++i) {
      added.push_back(MakeRecord(i, s.Readings));
      Add(records, added.back(), i);
      // A wider record widens every earlier one, its extra bytes 0.
      if (s.Readings > widest) {
        widest = s.Readings;
        ASSERT_EQ(records.Stride(), widest);
        ASSERT_TRUE(AllSame(records, added)) << "after widening to " << widest;
      }
    }
    SCOPED_TRACE("after " + std::to_string(i) + " records");
    ASSERT_EQ(records.Stride(), widest);
    ASSERT_TRUE(AllSame(records, added));
  }
}

// The file holds exactly SensorCount reading bytes a record, whatever the stride.
TEST(RecordStore, SavesTheBytesOfAPlainWriterForAnySensorCount) {
  TRecords records;
  const std::vector<TAdded> added = FillRecords(records);
  ASSERT_EQ(records.Stride(), 8);
  for (int32_t sensorCount : {-3, 0, 1, 3, 7, 8, 9, 12}) {
    SCOPED_TRACE("SensorCount " + std::to_string(sensorCount));
    records.SensorCount = sensorCount;
    EXPECT_EQ(Saved(records), ReferenceBytes(sensorCount, added));
  }
  TRecords empty;
  empty.SensorCount = 4;
  EXPECT_EQ(Saved(empty), ReferenceBytes(4, {}));
}

// Reading the file back gives the records as the file holds them (SensorCount bytes
// each, so the stride becomes SensorCount), and writing them again the same bytes.
TEST(RecordStore, LoadingGivesBackWhatWasSaved) {
  TRecords records;
  const std::vector<TAdded> added = FillRecords(records);
  for (int32_t sensorCount : {0, 3, 8, 11}) {
    SCOPED_TRACE("SensorCount " + std::to_string(sensorCount));
    records.SensorCount = sensorCount;
    const QByteArray bytes = Saved(records);
    TRecords back;
    const uint64_t generation = back.Generation;
    TStreamReader r(bytes);
    ASSERT_TRUE(back.LoadFromStream(r));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_NE(back.Generation, generation);  // the content was replaced
    EXPECT_EQ(back.SensorCount, sensorCount);
    EXPECT_EQ(back.Stride(), sensorCount);
    std::vector<TAdded> expected = added;
    for (TAdded& e : expected) e.Readings.resize(static_cast<size_t>(sensorCount), 0);
    ASSERT_TRUE(AllSame(back, expected));
    EXPECT_EQ(Saved(back), bytes);
  }
}

TEST(RecordStore, ClearEmptiesAndChangesTheGenerationWhileAppendingKeepsIt) {
  TRecords records;
  records.SensorCount = 5;
  const uint64_t start = records.Generation;
  const std::vector<TAdded> added = FillRecords(records);
  EXPECT_EQ(records.Generation, start);  // appending and widening keep it
  records.Clear();
  EXPECT_NE(records.Generation, start);
  EXPECT_EQ(records.Count(), 0);
  EXPECT_EQ(records.Stride(), 0);
  EXPECT_EQ(records.SensorCount, 5);
  EXPECT_EQ(Saved(records), ReferenceBytes(5, {}));
  // Records added after clearing start afresh: narrow again, nothing of the old ones.
  const uint64_t cleared = records.Generation;
  std::vector<TAdded> again;
  for (int32_t i = 0; i < 5000; ++i) {
    again.push_back(MakeRecord(i + 20000, 1));
    Add(records, again.back(), i);
  }
  EXPECT_EQ(records.Generation, cleared);
  EXPECT_EQ(records.Stride(), 1);
  EXPECT_TRUE(AllSame(records, again));
  records.Clear();
  EXPECT_NE(records.Generation, cleared);
}

// A load that fails leaves no records, and counts as a change.
TEST(RecordStore, AFailedLoadLeavesNothing) {
  TRecords records;
  FillRecords(records);
  records.SensorCount = 8;
  QByteArray bytes = Saved(records);
  bytes.chop(1);
  const uint64_t before = records.Generation;
  TStreamReader r(bytes);
  EXPECT_FALSE(records.LoadFromStream(r));
  EXPECT_EQ(records.Count(), 0);
  EXPECT_EQ(records.Stride(), 0);
  EXPECT_NE(records.Generation, before);
}

// A long run with eight point sensors costs its 36 bytes a record and little more.
TEST(RecordStore, MemoryPerRecordStaysUnderFortyBytes) {
  TRecords records;
  const float fields[7] = {1, 2, 3, 4, 5, 6, 7};
  const uint8_t readings[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int32_t i = 0; i < 100000; ++i) records.Add(fields, readings, 8);
  EXPECT_LT(records.MemoryBytes(), 40u * 100000);
  EXPECT_GE(records.MemoryBytes(), 36u * 100000);
}

// A file of one record with 10 000 readings (10 036 bytes of records) must cost about
// those bytes, not a whole block of 4096 records of that stride (41 MB; 4 GB for a
// 1 MB file).
TEST(RecordStore, AFewWideRecordsCostAboutTheirBytes) {
  constexpr int32_t Sensors = 10000;
  TStreamWriter w;
  w.WriteInt32(Sensors);
  w.WriteInt32(1);
  for (int k = 0; k < 7; ++k) w.WriteFloat(0);
  w.WriteBytes(QByteArray(Sensors, '\1'));
  const QByteArray bytes = w.Data();
  TRecords records;
  TStreamReader r(bytes);
  ASSERT_TRUE(records.LoadFromStream(r));
  EXPECT_LT(records.MemoryBytes(), 16u * static_cast<size_t>(bytes.size()));
}

}  // namespace
}  // namespace k2
