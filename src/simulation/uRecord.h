#pragma once
// The record of a run: one TRecordData per successful step, the list of them, and the
// record file (".krf") that holds the names of the run's three files, the step, the
// track body, the car record and the records.
//
// Names are stored as GBK bytes.  A name that GBK cannot encode is refused when
// saving, with a message; the reader decodes them back.  The reader refuses a file
// that ends early or holds counts that cannot fit in the bytes left.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

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

class TRecords {
 public:
  std::vector<std::unique_ptr<TRecordData>> Items;  // owned, in time order
  int32_t SensorCount = 0;                          // reading bytes per record in the file
  // Changes whenever records are removed or replaced, so that caches built from the
  // list (the trail) know to start again; appending keeps it.
  uint64_t Generation = 0;

  void Add(std::unique_ptr<TRecordData> r) { Items.push_back(std::move(r)); }
  void Clear() {  // SensorCount stays
    Items.clear();
    ++Generation;
  }
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }

  // Each record is written with exactly SensorCount reading bytes (missing ones as 0).
  void SaveToStream(TStreamWriter& s) const;
  // Replaces the content; false (and empty) for a negative or implausible count or a
  // block that ends early.
  bool LoadFromStream(TStreamReader& s);
};

// The three file names of a run, without folders.
struct TRecordNames {
  QString Track;
  QString Car;
  QString Judge;
};

// Serialises a whole record file.  False, with `error` naming the field, when a name
// cannot be encoded in GBK.  records.SensorCount is written as given.
bool BuildRecordFile(const TRecordNames& names, int32_t stepMs, const TPath& track, const TCar& car,
                     const TRecords& records, QByteArray& out, QString& error);

// Reads a whole record file into a new track, a new car (without sensors) and a
// record list.  False for a wrong head or a body that ends early or is implausible.
bool ReadRecordFile(const QByteArray& bytes, TRecordNames& names, int32_t& stepMs, TPath& track,
                    TCar& car, TRecords& records);

}  // namespace k2
