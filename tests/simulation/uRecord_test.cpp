// The record of a run and the record file, written by the engine and read back.
#include <gtest/gtest.h>

#include <QDir>
#include <climits>
#include <cstring>

#include "base/uStream.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"

namespace k2 {
namespace {

using test::LE32;
using test::LineTo;

QByteArray LEFloats(const TRecordData& r) {
  QByteArray b;
  for (float f : {r.PosX, r.PosY, r.Heading, r.SteerAngle, r.Speed, r.Acc, r.Warp})
    b += test::LEFloat(f);
  return b;
}

// A record file read back into models of its own.
struct TReadBack {
  bool Read(const QByteArray& bytes) {
    return ReadRecordFile(bytes, Names, StepMs, Track, Car, Records);
  }
  TPath Track{nullptr, RunMainSpan, nullptr, RunOverviewSpan};
  TCar Car{nullptr, RunMainSpan};
  TRecords Records;
  TRecordNames Names;
  int32_t StepMs = 0;
};

// A run of the engine: a track of one line in "track.kpf" (9 bytes of name), a car
// with `sensors` point sensors and no CCD in "car8.kcf" (8 bytes) and the module
// "silent.so" (9 bytes), with `steps` recorded steps of 10 ms.
class RecordFileTest : public ::testing::Test {
 protected:
  RecordFileTest() { TJudgeModule::SetDefaultHostPath(QStringLiteral(KURVINO2_JUDGE_HOST)); }

  void Run(int sensors, int steps) {
    ASSERT_TRUE(test::SaveTrack(File("track.kpf"), {LineTo(0, 1000)}));
    auto car = test::RowCar(sensors, 10);
    ASSERT_TRUE(test::SaveCar(File("car8.kcf"), *car));
    Sim = std::make_unique<TSimu>(nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(Sim->LoadTrack(File("track.kpf")));
    Sim->Prepare();
    ASSERT_TRUE(Sim->LoadCar(File("car8.kcf")));
    Sim->Prepare();
    ASSERT_TRUE(Sim->LoadJudge(QStringLiteral(KURVINO2_TEST_MODULES "/silent.so")));
    ASSERT_TRUE(Sim->Prepare());
    Sim->SetStepMs(10);
    Sim->Car->Motor->SetCommand(1);  // the module never writes: the car keeps going
    for (int i = 0; i < steps; ++i) {
      ASSERT_TRUE(Sim->Step());
      Sim->AddRecord();
    }
    Sim->RecordFile = File("run.krf");
    ASSERT_TRUE(Sim->SaveToFile()) << Sim->LastError.toStdString();
    Bytes = test::ReadFile(File("run.krf"));
  }

  QString File(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }

  test::TTempDir Dir;
  std::unique_ptr<TSimu> Sim;
  QByteArray Bytes;
};

TEST_F(RecordFileTest, EightSensorsAndThreeRecordsMake526Bytes) {
  Run(8, 3);
  ASSERT_EQ(Bytes.size(), 526);
  QByteArray head = LE32(10) + "RecordFile" + LE32(200);
  head += LE32(9) + "track.kpf" + LE32(8) + "car8.kcf" + LE32(9) + "silent.so" + LE32(10);
  EXPECT_EQ(Bytes.left(60), head);
  // The track body and the car record exactly as their files hold them after the head.
  EXPECT_EQ(Bytes.mid(60, 49), test::ReadFile(File("track.kpf")).mid(16));
  EXPECT_EQ(Bytes.mid(109, 301), test::ReadFile(File("car8.kcf")).mid(15));
  EXPECT_EQ(Bytes.mid(410, 8), LE32(8) + LE32(3));
  ASSERT_EQ(Sim->Records.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    const TRecordData r = Sim->Records.At(i);
    ASSERT_EQ(r.Readings.size(), 8u);
    const QByteArray readings(reinterpret_cast<const char*>(r.Readings.data()), 8);
    EXPECT_EQ(Bytes.mid(418 + 36 * i, 36), LEFloats(r) + readings) << i;
  }
  // The last record is the state after the last step.
  const TRecordData last = Sim->Records.At(Sim->Records.Count() - 1);
  EXPECT_EQ(last.PosY, Sim->Pos.Y);
  EXPECT_EQ(last.Speed, Sim->Speed);
  EXPECT_EQ(last.Heading, Sim->Car->Heading);
  EXPECT_GT(last.PosY, 0);
}

TEST_F(RecordFileTest, ASaveBeforeTheFirstStepHoldsNoRecords) {
  Run(8, 0);
  EXPECT_EQ(Bytes.size(), 526 - 3 * 36);
  EXPECT_EQ(Bytes.right(8), LE32(8) + LE32(0));
}

TEST_F(RecordFileTest, ACarWithoutPointSensorsHasRecordsOf28Bytes) {
  Run(0, 3);
  EXPECT_EQ(Bytes.size(), 60 + 49 + 69 + 8 + 3 * 28);
  EXPECT_EQ(Bytes.mid(60 + 49 + 69, 8), LE32(0) + LE32(3));
}

TEST_F(RecordFileTest, SavingAgainReplacesTheFileAndLeavesNothingElse) {
  Run(2, 1);
  const qsizetype first = Bytes.size();
  ASSERT_TRUE(Sim->Step());
  Sim->AddRecord();
  ASSERT_TRUE(Sim->SaveToFile());
  EXPECT_EQ(test::ReadFile(File("run.krf")).size(), first + 28 + 2);
  EXPECT_EQ(QDir(Dir.Dir()).entryList(QDir::Files),
            (QStringList{"car8.kcf", "run.krf", "track.kpf"}));
}

TEST_F(RecordFileTest, TheReaderGivesBackWhatWasWritten) {
  Run(8, 3);
  TPath track(nullptr, RunMainSpan, nullptr, RunOverviewSpan);
  TCar car(nullptr, RunMainSpan);
  TRecords records;
  TRecordNames names;
  int32_t stepMs = 0;
  ASSERT_TRUE(ReadRecordFile(Bytes, names, stepMs, track, car, records));
  EXPECT_EQ(names.Track, QStringLiteral("track.kpf"));
  EXPECT_EQ(names.Car, QStringLiteral("car8.kcf"));
  EXPECT_EQ(names.Judge, QStringLiteral("silent.so"));
  EXPECT_EQ(stepMs, 10);
  EXPECT_EQ(track.Elements.size(), 1u);
  EXPECT_EQ(car.LightSensors.size(), 8u);
  EXPECT_EQ(records.SensorCount, 8);
  ASSERT_EQ(records.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    const TRecordData a = records.At(i);
    const TRecordData b = Sim->Records.At(i);
    EXPECT_EQ(LEFloats(a), LEFloats(b)) << i;
    EXPECT_EQ(a.Readings, b.Readings) << i;
  }
  QByteArray again;
  QString error;
  ASSERT_TRUE(BuildRecordFile(names, stepMs, track, car, records, again, error));
  EXPECT_EQ(again, Bytes);
}

TEST_F(RecordFileTest, TheReaderRefusesBadHeadsCutFilesAndImpossibleCounts) {
  Run(8, 3);
  struct TCase {
    const char* Name;
    int Offset;
    QByteArray Bytes;
  } cases[] = {
      {"tag length 21", 0, LE32(21)},
      {"negative tag length", 0, LE32(-1)},
      {"lower-case tag", 4, "recordfile"},
      {"version 199", 14, LE32(199)},
      {"track name longer than the file", 18, LE32(INT32_MAX)},
      {"track element count", 88, LE32(100000)},
      {"point sensor count", 141, LE32(100000)},
      {"negative reading count", 410, LE32(-1)},
      {"reading count that overflows a record", 410, LE32(INT32_MAX)},
      {"record size that wraps around", 410, LE32(INT32_MAX - 27) + LE32(INT32_MAX)},
      {"record count", 414, LE32(4)},
      {"huge record count", 414, LE32(INT32_MAX)},
      {"negative record count", 414, LE32(-1)},
  };
  for (const TCase& c : cases) {
    QByteArray bad = Bytes;
    bad.replace(c.Offset, c.Bytes.size(), c.Bytes);
    TPath track(nullptr, RunMainSpan, nullptr, RunOverviewSpan);
    TCar car(nullptr, RunMainSpan);
    TRecords records;
    TRecordNames names;
    int32_t stepMs = 0;
    EXPECT_FALSE(ReadRecordFile(bad, names, stepMs, track, car, records)) << c.Name;
    EXPECT_EQ(records.Count(), 0) << c.Name;
  }
  // A file cut short anywhere is refused.
  for (int n = 0; n < Bytes.size(); ++n) {
    TPath track(nullptr, RunMainSpan, nullptr, RunOverviewSpan);
    TCar car(nullptr, RunMainSpan);
    TRecords records;
    TRecordNames names;
    int32_t stepMs = 0;
    ASSERT_FALSE(ReadRecordFile(Bytes.left(n), names, stepMs, track, car, records)) << n;
  }
}

TEST_F(RecordFileTest, NamesAreStoredInGbk) {
  Run(1, 1);
  TPath track(nullptr, RunMainSpan, nullptr, RunOverviewSpan);
  TCar car(nullptr, RunMainSpan);
  TRecords records;
  TRecordNames names;
  int32_t stepMs = 0;
  ASSERT_TRUE(ReadRecordFile(Bytes, names, stepMs, track, car, records));
  names.Track = QStringLiteral("赛道一.kpf");
  names.Car = QStringLiteral("新建赛车.kcf");
  QByteArray bytes;
  QString error;
  ASSERT_TRUE(BuildRecordFile(names, stepMs, track, car, records, bytes, error));
  EXPECT_EQ(bytes.mid(18, 14), LE32(10) + QByteArray("\xC8\xFC\xB5\xC0\xD2\xBB.kpf"));
  TRecordNames back;
  ASSERT_TRUE(ReadRecordFile(bytes, back, stepMs, track, car, records));
  EXPECT_EQ(back.Track, names.Track);
  EXPECT_EQ(back.Car, names.Car);
}

TEST_F(RecordFileTest, ANameGbkCannotEncodeIsStoredAsAReferenceAndReadBack) {
  Run(1, 1);
  const QString name = QStringLiteral("run \U0001F697.so");
  Sim->JudgeFileName = name;
  QString notice;
  EXPECT_TRUE(NamesNeedReferences({Sim->TrackFileName, Sim->CarFileName, name}, notice));
  EXPECT_TRUE(notice.contains(name)) << notice.toStdString();
  ASSERT_TRUE(Sim->SaveToFile()) << Sim->LastError.toStdString();
  const QByteArray bytes = test::ReadFile(File("run.krf"));
  EXPECT_TRUE(bytes.contains("run &#x1F697;.so"));
  TReadBack back;
  ASSERT_TRUE(back.Read(bytes));
  EXPECT_EQ(back.Names.Judge, name);
  EXPECT_FALSE(back.Names.JudgeBytes);  // the text gives the same bytes again
}

TEST_F(RecordFileTest, NamesThatAreNotGbkAreWrittenBackAsStored) {
  Run(1, 1);
  TReadBack read;
  ASSERT_TRUE(read.Read(Bytes));
  read.Names.CarBytes = QByteArray("\x81\xFF\xC8", 3);  // no GBK sequence
  QByteArray bytes, again;
  QString error;
  ASSERT_TRUE(
      BuildRecordFile(read.Names, read.StepMs, read.Track, read.Car, read.Records, bytes, error));
  TReadBack back;
  ASSERT_TRUE(back.Read(bytes));
  ASSERT_TRUE(back.Names.CarBytes);
  EXPECT_EQ(*back.Names.CarBytes, *read.Names.CarBytes);
  ASSERT_TRUE(
      BuildRecordFile(back.Names, back.StepMs, back.Track, back.Car, back.Records, again, error));
  EXPECT_EQ(again, bytes);
}

TEST(Records, ClearKeepsTheSensorCountAndTheStreamHoldsOneBlock) {
  TRecords records;
  records.SensorCount = 2;
  for (int i = 0; i < 2; ++i) {
    auto r = std::make_unique<TRecordData>();
    r->PosX = static_cast<float>(i);
    r->Readings = {static_cast<uint8_t>(i), 255};
    records.Add(std::move(r));
  }
  TStreamWriter w;
  records.SaveToStream(w);
  EXPECT_EQ(w.Data().size(), 8 + 2 * 30);
  TRecords back;
  TStreamReader r(w.Data());
  ASSERT_TRUE(back.LoadFromStream(r));
  EXPECT_TRUE(r.AtEnd());
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.At(1).PosX, 1);
  EXPECT_EQ(back.At(1).Readings, (std::vector<uint8_t>{1, 255}));
  records.Clear();
  EXPECT_EQ(records.Count(), 0);
  EXPECT_EQ(records.SensorCount, 2);
}

}  // namespace
}  // namespace k2
