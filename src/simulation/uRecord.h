#pragma once
// The record of a run: one TRecordData per successful step, the list of them, and the
// record file (".krf") that holds the names of the run's three files, the step, the
// track body, the car record and the records.
//
// Names are stored as GBK bytes (see TRecordNames); the reader decodes them back and
// keeps the bytes as stored.  The reader refuses a file

// that ends early or holds counts that cannot fit in the bytes left.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "geometry/uVector.h"

namespace k2 {

class TCar;
class TPath;
class TStreamReader;
class TStreamWriter;

struct TRecordData {
  float PosX = 0;                 // mm
  float PosY = 0;                 // mm
  float Heading = 0;              // degrees, 0 = facing +y
  float SteerAngle = 0;           // degrees, positive to the left
  float Speed = 0;                // m/s
  float Acc = 0;                  // m/s^2
  float Warp = 0;                 // mm from the centre line
  std::vector<uint8_t> Readings;  // one per point sensor
};

// Bytes of one record in the file: seven floats and the readings.
constexpr int32_t RecordFixedSize = 28;

// The records of a run, in time order, stored compactly: the seven floats of each
// record side by side and its readings after them, in blocks of a fixed number of
// records, so that a record costs its 28 bytes and its readings and appending never
// moves what is stored.  Every record keeps as many reading bytes as the record with
// the most (the stride); shorter ones are padded with 0, as the file pads them.
class TRecords {
 public:
  int32_t SensorCount = 0;  // reading bytes per record in the file
  // Changes whenever records are removed or replaced, so that caches built from the
  // list (the trail) know to start again; appending keeps it.
  uint64_t Generation = 0;

  TRecords();
  ~TRecords();
  TRecords(const TRecords&) = delete;
  TRecords& operator=(const TRecords&) = delete;

  void Add(const TRecordData& r);
  void Add(const std::unique_ptr<TRecordData>& r) { Add(*r); }
  // One record from its seven fields (PosX, PosY, Heading, SteerAngle, Speed, Acc,
  // Warp) and `count` readings.
  void Add(const float (&fields)[7], const uint8_t* readings, int32_t count);
  void Clear();  // SensorCount stays
  int32_t Count() const { return Size; }
  // Record i (0 <= i < Count()), with `Stride()` readings.
  TRecordData At(int32_t i) const;
  // Where the car stood at record i.
  TPointF Position(int32_t i) const {
    const float* f = Fields(i);
    return TPointF{f[0], f[1]};
  }
  // The seven floats of record i, in the order of Add, and its readings.
  const float* Fields(int32_t i) const {
    return Blocks[static_cast<size_t>(i) >> BlockBits]->Floats.get() +
           7 * (static_cast<size_t>(i) & (BlockSize - 1));
  }
  const uint8_t* Readings(int32_t i) const {
    return Blocks[static_cast<size_t>(i) >> BlockBits]->Bytes.get() +
           static_cast<size_t>(StrideBytes) * (static_cast<size_t>(i) & (BlockSize - 1));
  }
  int32_t Stride() const { return StrideBytes; }
  // What the records take in memory, bytes.
  size_t MemoryBytes() const;

  // Each record is written with exactly SensorCount reading bytes (missing ones as 0).
  void SaveToStream(TStreamWriter& s) const;
  // Replaces the content; false (and empty) for a negative or implausible count or a
  // block that ends early.
  bool LoadFromStream(TStreamReader& s);

 private:
  static constexpr int32_t BlockBits = 12;
  static constexpr int32_t BlockSize = 1 << BlockBits;  // records per block
  // Room for Capacity records: up to BlockSize, fewer while the first records of a run
  // come in (it doubles as they do) or when a reader knows there are fewer.
  struct TBlock {
    std::unique_ptr<float[]> Floats;   // 7 per record
    std::unique_ptr<uint8_t[]> Bytes;  // StrideBytes per record
    int32_t Capacity = 0;
  };
  static constexpr int32_t FirstCapacity = 64;
  // Gives the last block room for `capacity` records, keeping what it holds.
  void Resize(TBlock& block, int32_t capacity, int32_t stride);
  uint8_t* ReadingsAt(int32_t i) { return const_cast<uint8_t*>(Readings(i)); }
  // Widens every record's readings to `stride` bytes (zeros after the old ones).
  void Widen(int32_t stride);
  // Room for one more record; `expected` records are known to follow (0: unknown).
  float* AppendSlot(int32_t expected = 0);

  std::vector<std::unique_ptr<TBlock>> Blocks;
  int32_t Size = 0;
  int32_t StrideBytes = 0;
};

// The three file names of a run, without folders.  A file stores them as GBK; the
// characters GBK cannot encode are stored as numeric references "&#xHHHH;" so that no
// name can stop a run from being saved.
struct TRecordNames {
  QString Track;
  QString Car;
  QString Judge;
  // The bytes as a file stored them when they are not the encoding of the text (a file
  // whose names are not valid GBK), set by the reader: when set, they are written
  // verbatim instead of the text, so that a file read and written again is the same.

  std::optional<QByteArray> TrackBytes = std::nullopt, CarBytes = std::nullopt,
                            JudgeBytes = std::nullopt;
};

// True when a name holds a character that GBK cannot encode, so that the record will
// store it as a numeric reference; `notice` then says which names, in words.
bool NamesNeedReferences(const TRecordNames& names, QString& notice);

// The GBK bytes a record file stores for `text` (numeric references for what GBK
// cannot encode).
QByteArray RecordNameBytes(const QString& text);

// Serialises a whole record file.  records.SensorCount is written as given.  Cannot
// fail today (every name can be stored); `error` is kept for the writers' common shape.

bool BuildRecordFile(const TRecordNames& names, int32_t stepMs, const TPath& track, const TCar& car,
                     const TRecords& records, QByteArray& out, QString& error);

// Writes the record file `path` straight from the records, so that the file is never
// held whole in memory, through a temporary file: whatever fails, a previous file
// stays as it was.  False with `error` set to why the file could not be written.
bool WriteRecordFile(const QString& path, const TRecordNames& names, int32_t stepMs,
                     const TPath& track, const TCar& car, const TRecords& records, QString& error);

// Reads a whole record file into a new track, a new car (without sensors) and a
// record list.  False for a wrong head or a body that ends early or is implausible.
bool ReadRecordFile(const QByteArray& bytes, TRecordNames& names, int32_t& stepMs, TPath& track,
                    TCar& car, TRecords& records);

}  // namespace k2
