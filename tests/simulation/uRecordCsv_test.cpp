// The records of a run written as CSV: the columns, the numbers (read back exactly), the
// readings, and a failed write that leaves the previous file as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <regex>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRecord.h"
#include "simulation/uRecordCsv.h"

namespace k2 {
namespace {

// Adds a record of seven fields and its readings.
void Add(TRecords& records, std::initializer_list<float> fields,
         std::vector<uint8_t> readings = {}) {
  float f[7] = {};
  std::copy(fields.begin(), fields.end(), f);
  records.Add(f, readings.data(), static_cast<int32_t>(readings.size()));
}

// The cells of a CSV text: one list per line, without the final empty line.
std::vector<std::vector<std::string>> Cells(const QByteArray& csv) {
  std::vector<std::vector<std::string>> rows;
  QList<QByteArray> lines = csv.split('\n');
  EXPECT_TRUE(lines.last().isEmpty()) << "the last line ends in \\n";
  lines.removeLast();
  for (const QByteArray& line : lines) {
    std::vector<std::string> row;
    for (const QByteArray& cell : line.split(',')) row.push_back(cell.toStdString());
    rows.push_back(row);
  }
  return rows;
}

// A number in the C locale without padding or a plus sign (but an exponent's).
const std::regex PlainNumber("-?[0-9]+(\\.[0-9]+)?(e[-+][0-9]+)?");

uint32_t Bits(float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  return u;
}
uint64_t Bits(double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  return u;
}

// The significant digits of a number's text: its mantissa without sign, point, leading
// zeros and trailing zeros ("-0.00120" and "1.2e-03" both have 2).
int SignificantDigits(const std::string& text) {
  std::string digits;
  for (char c : text.substr(0, text.find_first_of("eE")))
    if (c >= '0' && c <= '9') digits += c;
  digits.erase(0, digits.find_first_not_of('0'));
  if (digits.empty()) return 0;
  digits.erase(digits.find_last_not_of('0') + 1);
  return static_cast<int>(digits.size());
}

// The fewest significant digits with which `v` reads back to itself.
template <class T>
int ShortestDigits(T v) {
  if (v == 0) return 0;
  for (int p = 1;; ++p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, static_cast<double>(v));
    const T back = sizeof(T) == 4 ? static_cast<T>(std::strtof(buf, nullptr))
                                  : static_cast<T>(std::strtod(buf, nullptr));
    if (back == v) return p;
  }
}

class RecordCsvTest : public ::testing::Test {
 protected:
  QString File(const char* name) const { return Dir.Path(QString::fromLatin1(name)); }
  // Writes `records` to out.csv and returns the file's bytes; fails the test on an error.
  QByteArray Write(const TRecords& records, int32_t stepMs) {
    QString error;
    EXPECT_TRUE(WriteRecordCsv(File("out.csv"), records, stepMs, error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    return test::ReadFile(File("out.csv"));
  }
  // The names of the files in the test folder.
  QStringList Files() const {
    return QDir(Dir.Dir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot |
                                     QDir::Hidden);
  }
  test::TTempDir Dir;
};

TEST_F(RecordCsvTest, AHeaderThenOneRowPerRecord) {
  TRecords records;
  records.SensorCount = 3;
  Add(records, {1.5f, -2, 0, 0.25f, 3, -0.5f, 7}, {0, 128, 255});
  Add(records, {0.1f, 100, 359.5f, -30, 12.75f, 0.3f, -40}, {1, 2, 3});
  Add(records, {-1234.5f, 2048, 90, 1, 0.125f, 4, 0}, {255, 0, 9});
  // A longer file at the target is replaced whole.
  test::WriteFile(File("out.csv"), QByteArray(4000, 'x'));
  EXPECT_EQ(Write(records, 10).toStdString(),
            "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,R2,R3\n"
            "0,0.01,1.5,-2,0,0.25,3,-0.5,7,0,128,255\n"
            "1,0.02,0.1,100,359.5,-30,12.75,0.3,-40,1,2,3\n"
            "2,0.03,-1234.5,2048,90,1,0.125,4,0,255,0,9\n");
  EXPECT_EQ(Files(), QStringList{QStringLiteral("out.csv")});  // no temporary file left
}

struct TColumnsCase {
  const char* Name;
  int32_t SensorCount;
  int Readings;  // stored per record
  int Records;
  const char* Csv;
};

class RecordCsvColumnsTest : public RecordCsvTest,
                             public ::testing::WithParamInterface<TColumnsCase> {};

// The reading columns are R1..Rn for n = SensorCount whatever the records hold: missing
// readings are 0, readings beyond n are left out.
TEST_P(RecordCsvColumnsTest, TheReadingColumnsFollowSensorCount) {
  TRecords records;
  records.SensorCount = GetParam().SensorCount;
  for (int i = 0; i < GetParam().Records; ++i) {
    std::vector<uint8_t> readings;
    for (int k = 0; k < GetParam().Readings; ++k)
      readings.push_back(static_cast<uint8_t>(10 * i + k + 1));
    Add(records, {static_cast<float>(i), 0, 0, 0, 0, 0, 0}, readings);
  }
  EXPECT_EQ(Write(records, 20).toStdString(), GetParam().Csv);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordCsvColumnsTest,
    ::testing::Values(
        TColumnsCase{"NoSensors", 0, 0, 2,
                     "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp\n"
                     "0,0.02,0,0,0,0,0,0,0\n"
                     "1,0.04,1,0,0,0,0,0,0\n"},
        TColumnsCase{"PaddedWithZeros", 4, 2, 2,
                     "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,R2,R3,R4\n"
                     "0,0.02,0,0,0,0,0,0,0,1,2,0,0\n"
                     "1,0.04,1,0,0,0,0,0,0,11,12,0,0\n"},
        TColumnsCase{"ExtraReadingsLeftOut", 1, 3, 2,
                     "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1\n"
                     "0,0.02,0,0,0,0,0,0,0,1\n"
                     "1,0.04,1,0,0,0,0,0,0,11\n"},
        TColumnsCase{"NoRecords", 2, 0, 0,
                     "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,R2\n"}),
    test::TCaseName());

TEST_F(RecordCsvTest, FloatsReadBackBitForBitInTheirShortestForm) {
  const float values[] = {0.0f,
                          -0.0f,
                          1e-7f,
                          -1e-7f,
                          3.4e38f,
                          FLT_MAX,
                          -FLT_MAX,
                          FLT_MIN,
                          std::numeric_limits<float>::denorm_min(),
                          -std::nextafter(FLT_MIN, 0.0f),  // the largest subnormal
                          0.1f,
                          1.0f / 3,
                          -2.0f / 3,
                          3.14159265f,
                          16777216.0f,
                          16777218.0f,
                          123456.789f,
                          1e10f,
                          1.5e-10f,
                          100.0f,
                          0.001f,
                          -273.15f};
  TRecords records;
  records.SensorCount = 0;
  // Record i holds value i in all seven fields.
  for (float v : values) Add(records, {v, v, v, v, v, v, v});
  const auto rows = Cells(Write(records, 10));
  ASSERT_EQ(rows.size(), std::size(values) + 1);
  for (size_t i = 0; i < std::size(values); ++i) {
    const std::vector<std::string>& row = rows[i + 1];
    ASSERT_EQ(row.size(), 9u) << i;
    for (size_t c = 2; c < 9; ++c) {
      const std::string& cell = row[c];
      char* end = nullptr;
      const float back = std::strtof(cell.c_str(), &end);
      EXPECT_EQ(*end, '\0') << cell;
      EXPECT_EQ(Bits(back), Bits(values[i])) << "row " << i << ": " << cell;
      EXPECT_EQ(SignificantDigits(cell), ShortestDigits(values[i])) << "row " << i << ": " << cell;
      EXPECT_TRUE(std::regex_match(cell, PlainNumber)) << cell;
    }
  }
  EXPECT_EQ(rows[1][2], "0");
  EXPECT_EQ(rows[2][2], "-0");
}

TEST_F(RecordCsvTest, TimeIsTheEndOfTheStepInSecondsReadBackExactly) {
  for (const int32_t stepMs : {1, 3, 7, 10, 20, 33, 1000}) {
    TRecords records;
    for (int i = 0; i < 300; ++i) Add(records, {});
    const auto rows = Cells(Write(records, stepMs));
    ASSERT_EQ(rows.size(), 301u) << stepMs;
    for (int i = 0; i < 300; ++i) {
      const std::string& step = rows[i + 1][0];
      const std::string& time = rows[i + 1][1];
      EXPECT_EQ(step, std::to_string(i));
      const double expected = (static_cast<double>(i) + 1) * stepMs / 1000;
      char* end = nullptr;
      EXPECT_EQ(Bits(std::strtod(time.c_str(), &end)), Bits(expected))
          << stepMs << " ms, step " << i << ": " << time;
      EXPECT_EQ(*end, '\0') << time;
      EXPECT_TRUE(std::regex_match(time, PlainNumber)) << time;
      EXPECT_EQ(SignificantDigits(time), ShortestDigits(expected)) << time;
    }
  }
  TRecords records;
  for (int i = 0; i < 3; ++i) Add(records, {});
  const auto rows = Cells(Write(records, 3));
  EXPECT_EQ(rows[1][1], "0.003");
  EXPECT_EQ(rows[3][1], "0.009");
}

// Given the track, the lap columns follow the readings: a square of 1000 mm sides
// (PathWidth 300) driven once round in steps of 1000 ms, one step off track.
TEST_F(RecordCsvTest, WithTheTrackProgressAndLapsFollowTheReadings) {
  const auto track = test::MakeTrack(
      {test::LineTo(1000, 0), test::LineTo(1000, 1000), test::LineTo(0, 1000), test::LineTo(0, 0)});
  TRecords records;
  records.SensorCount = 1;
  Add(records, {1000, 500, 0, 0, 0, 0, 0}, {7});
  Add(records, {500, 1000, 0, 0, 0, 0, 150.5f}, {8});
  Add(records, {0, 500, 0, 0, 0, 0, 150}, {9});
  Add(records, {500, 0, 0, 0, 0, 0, 0}, {10});  // over the line halfway through the step
  Add(records, {1000, 250, 0, 0, 0, 0, 0}, {11});
  QString error;
  ASSERT_TRUE(WriteRecordCsv(File("out.csv"), *track, records, 1000, error)) << error.toStdString();
  EXPECT_EQ(test::ReadFile(File("out.csv")).toStdString(),
            "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,"
            "progress_mm,laps,lap_time_s,lap_valid,off_track\n"
            "0,1,1000,500,0,0,0,0,0,7,1500,0,,,0\n"
            "1,2,500,1000,0,0,0,0,150.5,8,2500,0,,,1\n"
            "2,3,0,500,0,0,0,0,150,9,3500,0,,,0\n"
            "3,4,500,0,0,0,0,0,0,10,500,1,3.5,0,0\n"
            "4,5,1000,250,0,0,0,0,0,11,1250,1,,,0\n");
  // Without the track, the columns of before.
  EXPECT_EQ(Write(records, 1000).split('\n').first().toStdString(),
            "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1");
}

struct TFailureCase {
  const char* Name;
  const char* Target;  // in the test folder
  bool MakeFolder;     // the target exists as a folder
};

class RecordCsvFailureTest : public RecordCsvTest,
                             public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(RecordCsvFailureTest, AnUnwritableTargetFailsWithAReasonAndWritesNothing) {
  if (GetParam().MakeFolder) {
    ASSERT_TRUE(QDir(Dir.Dir()).mkdir(QString::fromLatin1(GetParam().Target)));
  }
  const QStringList before = Files();
  TRecords records;
  records.SensorCount = 1;
  Add(records, {1, 2, 3, 4, 5, 6, 7}, {8});
  QString error;
  EXPECT_FALSE(WriteRecordCsv(File(GetParam().Target), records, 10, error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(Files(), before);
  if (GetParam().MakeFolder) {
    EXPECT_TRUE(QFileInfo(File(GetParam().Target)).isDir());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordCsvFailureTest,
                         ::testing::Values(TFailureCase{"MissingFolder", "missing/out.csv", false},
                                           TFailureCase{"TargetIsAFolder", "out.csv", true}),
                         test::TCaseName());

// A write that fails halfway: the process may write files of at most 4096 bytes, and the
// CSV is far longer.  (As root, permissions cannot make a folder unwritable.)
TEST_F(RecordCsvTest, AFailedWriteKeepsThePreviousFile) {
  const QByteArray previous("step,time_s\nthe previous file\n");
  test::WriteFile(File("out.csv"), previous);
  TRecords records;
  records.SensorCount = 8;
  for (int i = 0; i < 5000; ++i)
    Add(records, {0.1f * i, 0.2f * i, 1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 6, 7, 8});

  rlimit kept{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &kept), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // EFBIG instead of the signal
  rlimit small = kept;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  QString error;
  const bool written = WriteRecordCsv(File("out.csv"), records, 10, error);
  setrlimit(RLIMIT_FSIZE, &kept);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(test::ReadFile(File("out.csv")), previous);
  EXPECT_EQ(Files(), QStringList{QStringLiteral("out.csv")});  // the temporary file is gone

  // Without the limit the same records are written.
  error.clear();
  EXPECT_TRUE(WriteRecordCsv(File("out.csv"), records, 10, error)) << error.toStdString();
  EXPECT_GT(test::ReadFile(File("out.csv")).size(), 65536);
}

}  // namespace
}  // namespace k2
