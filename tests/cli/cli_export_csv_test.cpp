// kurvino2-cli export-csv, run as a separate process: the CSV unit's file with the lap
// columns for the record's track, and bad input refused with exit code 2.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRecord.h"
#include "simulation/uRecordCsv.h"

namespace k2 {
namespace {

using TRun = clitest::TCliResult;

class CliExportCsvTest : public ::testing::Test {
 protected:
  QString File(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }
  TRun Cli(const QStringList& args) const { return clitest::RunCliIn(Dir.Dir(), args); }

  // A record of 3 sensors (SensorCount 4, so the CSV pads a column) and `count` steps of
  // 7 ms with values that print in several forms: -0, 1e-7, 3.4e38, fractions.
  void MakeRecord(TRecords& records, int count) const {
    records.SensorCount = 4;
    for (int i = 0; i < count; ++i) {
      const float fields[7] = {-0.0f,          1e-7f * i, 3.4e38f, 0.1f * i,
                               1.0f / (i + 3), -2.5f * i, 1000.0f};
      const uint8_t readings[3] = {static_cast<uint8_t>(i), 128, static_cast<uint8_t>(255 - i)};
      records.Add(fields, readings, 3);
    }
  }
  // The records' track.
  static std::unique_ptr<TPath> Track() { return test::MakeTrack({test::LineTo(0, 1000)}); }
  // Writes the record file `name` with those records.
  QString WriteRecord(const char* name, const TRecords& records) const {
    auto track = Track();
    auto car = test::RowCar(3);
    QByteArray bytes;
    QString error;
    EXPECT_TRUE(BuildRecordFile({QStringLiteral("t.kpf"), QStringLiteral("c.kcf"), QString()}, 7,
                                *track, *car, records, bytes, error))
        << error.toStdString();
    test::WriteFile(File(name), bytes);
    return File(name);
  }

  test::TTempDir Dir;
};

TEST_F(CliExportCsvTest, WritesTheSameBytesAsTheCsvUnit) {
  TRecords records;
  MakeRecord(records, 40);
  const QString record = WriteRecord("run.krf", records);
  const TRun r = Cli({QStringLiteral("export-csv"), record, File("out.csv")});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();

  QString error;
  ASSERT_TRUE(WriteRecordCsv(File("expected.csv"), *Track(), records, 7, error))
      << error.toStdString();
  const QByteArray csv = test::ReadFile(File("out.csv"));
  EXPECT_EQ(csv, test::ReadFile(File("expected.csv")));
  EXPECT_TRUE(
      csv.startsWith("step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,R2,R3,R4,"
                     "progress_mm,laps,lap_time_s,lap_valid,off_track\n"
                     "0,0.007,-0,0,"))
      << csv.left(200).toStdString();
  EXPECT_EQ(csv.count('\n'), 41);
}

TEST_F(CliExportCsvTest, ARecordWithoutStepsGivesTheHeaderOnly) {
  TRecords records;
  MakeRecord(records, 0);
  const TRun r =
      Cli({QStringLiteral("export-csv"), WriteRecord("empty.krf", records), File("out.csv")});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_EQ(test::ReadFile(File("out.csv")),
            "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,R2,R3,R4,"
            "progress_mm,laps,lap_time_s,lap_valid,off_track\n");
}

struct TBadCase {
  const char* Name;
  bool WrongMagic;  // the first byte of the record changed
  int Cut;          // bytes cut off the end of the record; -1: no record file at all
  bool OutFolderMissing;
  const char* Named;  // the file the message names
};

class CliExportCsvBadTest : public CliExportCsvTest,
                            public ::testing::WithParamInterface<TBadCase> {};

TEST_P(CliExportCsvBadTest, BadInputExitsWithTwoNamingTheFile) {
  const TBadCase& c = GetParam();
  TRecords records;
  MakeRecord(records, 3);
  const QString record = WriteRecord("in.krf", records);
  QByteArray bytes = test::ReadFile(record);
  if (c.WrongMagic) bytes[0] = static_cast<char>(bytes[0] ^ 0x5A);
  if (c.Cut > 0) bytes.chop(c.Cut);
  test::WriteFile(record, bytes);
  if (c.Cut < 0) {
    ASSERT_TRUE(QFile::remove(record));
  }
  const QString out = c.OutFolderMissing ? File("missing/out.csv") : File("out.csv");

  const TRun r = Cli({QStringLiteral("export-csv"), record, out});
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_TRUE(r.Err.contains(File(c.Named))) << r.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(out));
  EXPECT_FALSE(QFileInfo::exists(File("missing")));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliExportCsvBadTest,
                         ::testing::Values(TBadCase{"WrongMagic", true, 0, false, "in.krf"},
                                           TBadCase{"LastByteMissing", false, 1, false, "in.krf"},
                                           TBadCase{"TailMissing", false, 100, false, "in.krf"},
                                           TBadCase{"NoRecordFile", false, -1, false, "in.krf"},
                                           TBadCase{"OutputInAMissingFolder", false, 0, true,
                                                    "missing/out.csv"}),
                         test::TCaseName());

struct TArgsCase {
  const char* Name;
  int Count;  // arguments after export-csv
};

class CliExportCsvArgsTest : public CliExportCsvTest,
                             public ::testing::WithParamInterface<TArgsCase> {};

TEST_P(CliExportCsvArgsTest, AWrongArgumentCountExitsWithTwo) {
  TRecords records;
  MakeRecord(records, 2);
  const QStringList all = {WriteRecord("in.krf", records), File("out.csv"), File("more.csv")};
  const TRun r = Cli(QStringList{QStringLiteral("export-csv")} + all.mid(0, GetParam().Count));
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_TRUE(r.Err.contains(QStringLiteral("export-csv"))) << r.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(File("out.csv")));
  EXPECT_FALSE(QFileInfo::exists(File("more.csv")));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliExportCsvArgsTest,
                         ::testing::Values(TArgsCase{"None", 0}, TArgsCase{"RecordOnly", 1},
                                           TArgsCase{"OneTooMany", 3}),
                         test::TCaseName());

}  // namespace
}  // namespace k2
