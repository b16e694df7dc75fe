// kurvino2-cli dump and build on record files, run as a separate process.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

using TRun = clitest::TCliResult;

// The record of a run with 8 point sensors and 3 steps, on a track of one line, with
// a car without a CCD sensor and file names of 9, 8 and 9 bytes.
QByteArray ExampleRecord(const char* track = "track.kpf", const char* car = "car8.kcf") {
  QByteArray sensors;
  for (int i = 0; i < 8; ++i)
    sensors += QByteArray(i ? "," : "") + R"({"AssembleX":)" + QByteArray::number(i * 10 - 35) +
               R"(,"AssembleY":250,"AssembleZ":0,"Beta":0,"EffectiveR":0,"SensorType":0})";
  QByteArray records;
  for (int i = 0; i < 3; ++i)
    records += QByteArray(i ? "," : "") + R"({"PosX":0,"PosY":)" + QByteArray::number(i * 10) +
               R"(.5,"Heading":-0,"SteerAngle":1e-7,"Speed":0.1,"Acc":-3.4028235e38,"Warp":3,)" +
               R"("Readings":[0,1,2,3,252,253,254,)" + QByteArray::number(255 - i) + "]}";
  return QByteArray(R"({"type":"record","TrackFileName":")") + track + R"(","CarFileName":")" +
         car + R"(","JudgeFileName":"silent.so","StepMs":10,)" +
         R"("Track":{"PathWidth":300,"LineWidth":30,"Miu":0.01,"Design":[{"Line":[0,1000]}]},)" +
         R"("Car":{"LightSensors":[)" + sensors + R"(]},"Records":[)" + records + "]}";
}

class CliRecordTest : public ::testing::Test {
 protected:
  QString File(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }

  TRun Cli(const QStringList& args) const { return clitest::RunCliIn(Dir.Dir(), args); }

  TRun Build(const QByteArray& json, const char* out) const {
    test::WriteFile(File("in.json"), json);
    return Cli({QStringLiteral("build"), File("in.json"), File(out)});
  }

  test::TTempDir Dir;
};

TEST_F(CliRecordTest, TheExampleIs526BytesAndSurvivesDumpAndBuild) {
  const TRun built = Build(ExampleRecord(), "a.krf");
  ASSERT_EQ(built.Code, 0) << built.Err.toStdString();
  const QByteArray bytes = test::ReadFile(File("a.krf"));
  ASSERT_EQ(bytes.size(), 526);
  EXPECT_EQ(bytes.mid(410, 8), test::LE32(8) + test::LE32(3));
  EXPECT_EQ(bytes.mid(418 + 2 * 36, 4), test::LEFloat(0));
  EXPECT_EQ(bytes.mid(418 + 2 * 36 + 4, 4), test::LEFloat(20.5f));
  EXPECT_EQ(bytes.right(8), QByteArray("\x00\x01\x02\x03\xFC\xFD\xFE\xFD", 8));

  const TRun dump = Cli({QStringLiteral("dump"), File("a.krf")});
  ASSERT_EQ(dump.Code, 0) << dump.Err.toStdString();
  const QJsonObject doc = QJsonDocument::fromJson(dump.Out).object();
  EXPECT_EQ(doc["type"].toString(), QStringLiteral("record"));
  EXPECT_EQ(doc["TrackFileName"].toString(), QStringLiteral("track.kpf"));
  EXPECT_EQ(doc["JudgeFileName"].toString(), QStringLiteral("silent.so"));
  EXPECT_EQ(doc["StepMs"].toInt(), 10);
  EXPECT_EQ(doc["SensorCount"].toInt(), 8);
  EXPECT_FALSE(doc["Track"].toObject().contains(QStringLiteral("type")));
  EXPECT_EQ(doc["Track"].toObject()["Elements"].toArray().size(), 1);
  EXPECT_FALSE(doc["Car"].toObject().contains(QStringLiteral("type")));
  EXPECT_EQ(doc["Car"].toObject()["LightSensors"].toArray().size(), 8);
  const QJsonArray records = doc["Records"].toArray();
  ASSERT_EQ(records.size(), 3);
  const QJsonObject first = records[0].toObject();
  EXPECT_EQ(first.keys(), (QStringList{"Acc", "Heading", "PosX", "PosY", "Readings", "Speed",
                                       "SteerAngle", "Warp"}));
  EXPECT_EQ(first["Readings"].toArray().size(), 8);

  // Built again from the dump: the same bytes, and the same dump.
  const TRun again = Build(dump.Out, "b.krf");
  ASSERT_EQ(again.Code, 0) << again.Err.toStdString();
  EXPECT_EQ(test::ReadFile(File("b.krf")), bytes);
  EXPECT_EQ(Cli({QStringLiteral("dump"), File("b.krf")}).Out, dump.Out);
}

TEST_F(CliRecordTest, RecordsWithoutStepsOrSensors) {
  QByteArray none = ExampleRecord();
  none = none.left(none.indexOf(R"("Records":[)")) + R"("Records":[]})";
  ASSERT_EQ(Build(none, "none.krf").Code, 0);
  EXPECT_EQ(test::ReadFile(File("none.krf")).size(), 526 - 3 * 36);

  const QByteArray bare = R"({"type":"record","StepMs":20,"Track":{"Design":[{"Line":[0,1000]}]},
    "Car":{},"Records":[{"PosX":1,"PosY":2,"Heading":3,"SteerAngle":4,"Speed":5,"Acc":6,
    "Warp":7,"Readings":[]}]})";
  ASSERT_EQ(Build(bare, "bare.krf").Code, 0);
  const QByteArray bytes = test::ReadFile(File("bare.krf"));
  EXPECT_EQ(bytes.size(), 18 + 3 * 4 + 4 + 49 + 69 + 8 + 28);
  EXPECT_EQ(bytes.right(36), test::LE32(0) + test::LE32(1) + test::LEFloat(1) + test::LEFloat(2) +
                                 test::LEFloat(3) + test::LEFloat(4) + test::LEFloat(5) +
                                 test::LEFloat(6) + test::LEFloat(7));
}

TEST_F(CliRecordTest, NamesAreGbkInTheFileAndUtf8InJson) {
  ASSERT_EQ(Build(ExampleRecord("赛道一.kpf", "新建赛车.kcf"), "gbk.krf").Code, 0);
  const QByteArray bytes = test::ReadFile(File("gbk.krf"));
  EXPECT_EQ(bytes.mid(18, 14), test::LE32(10) + QByteArray("\xC8\xFC\xB5\xC0\xD2\xBB.kpf"));
  const QJsonObject doc =
      QJsonDocument::fromJson(Cli({QStringLiteral("dump"), File("gbk.krf")}).Out).object();
  EXPECT_EQ(doc["TrackFileName"].toString(), QStringLiteral("赛道一.kpf"));
  EXPECT_EQ(doc["CarFileName"].toString(), QStringLiteral("新建赛车.kcf"));

  // A character outside GBK is stored as its numeric reference and read back.
  ASSERT_EQ(Build(ExampleRecord("track.kpf", "car \xF0\x9F\x9A\x97.kcf"), "emoji.krf").Code, 0);
  EXPECT_TRUE(test::ReadFile(File("emoji.krf")).contains("car &#x1F697;.kcf"));
  const QJsonObject emoji =
      QJsonDocument::fromJson(Cli({QStringLiteral("dump"), File("emoji.krf")}).Out).object();
  EXPECT_EQ(emoji["CarFileName"].toString(), QStringLiteral("car \U0001F697.kcf"));
  EXPECT_FALSE(emoji.contains(QStringLiteral("CarFileNameBytes")));
}

TEST_F(CliRecordTest, NamesThatAreNotGbkRoundTripThroughDumpAndBuild) {
  ASSERT_EQ(Build(ExampleRecord("track.kpf", "car.kcf"), "plain.krf").Code, 0);
  QByteArray bytes = test::ReadFile(File("plain.krf"));
  const int at = bytes.indexOf("car.kcf");
  ASSERT_GT(at, 0);
  bytes[at] = '\x81';  // a lead byte without its trail: not GBK
  bytes[at + 1] = '\xFF';
  test::WriteFile(File("odd.krf"), bytes);
  const TRun dumped = Cli({QStringLiteral("dump"), File("odd.krf")});
  ASSERT_EQ(dumped.Code, 0);
  const QJsonObject doc = QJsonDocument::fromJson(dumped.Out).object();
  EXPECT_EQ(doc["CarFileNameBytes"].toString(), QStringLiteral("81ff722e6b6366"));
  EXPECT_FALSE(doc.contains(QStringLiteral("TrackFileNameBytes")));
  ASSERT_EQ(Build(dumped.Out, "again.krf").Code, 0);
  EXPECT_EQ(test::ReadFile(File("again.krf")), bytes);
  const QByteArray bad = QByteArray(dumped.Out).replace("81ff722e6b6366", "8");
  const TRun r = Build(bad, "bad.krf");
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(QStringLiteral("CarFileNameBytes"))) << r.Err.toStdString();
}

TEST_F(CliRecordTest, BadDocumentsAreRefusedNamingTheField) {
  struct TCase {
    QByteArray From, To;
    const char* Field;
  } cases[] = {
      {"[0,1,2,3,252,253,254,254]", "[0,1,2,3,252,253,254]", "Records[1].Readings"},
      {"[0,1,2,3,252,253,254,254]", "[0,1,2,3,252,253,254,256]", "Records[1].Readings"},
      {R"("StepMs":10)", R"("StepMs":1.5)", "StepMs"},
      {R"("StepMs":10)", R"("SensorCount":-1)", "SensorCount"},
      {R"("Warp":3,)", "", "Warp"},
      {R"("Car":{)", R"("Cars":{)", "Car"},
  };
  for (const TCase& c : cases) {
    QByteArray json = ExampleRecord();
    const int at = json.indexOf(c.From);
    ASSERT_GE(at, 0) << c.From.toStdString();
    json.replace(at, c.From.size(), c.To);
    const TRun r = Build(json, "bad.krf");
    EXPECT_EQ(r.Code, 2) << c.Field;
    EXPECT_TRUE(r.Err.contains(QString::fromLatin1(c.Field))) << r.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(File("bad.krf"))) << c.Field;
  }
}

TEST_F(CliRecordTest, DumpRefusesBrokenFilesNamingThem) {
  ASSERT_EQ(Build(ExampleRecord(), "good.krf").Code, 0);
  const QByteArray good = test::ReadFile(File("good.krf"));
  const QByteArray cases[] = {
      test::LE32(21) + good.mid(4),
      test::LE32(10) + "recordfile" + good.mid(14),
      good.left(14) + test::LE32(199) + good.mid(18),
      good.left(good.size() - 1),
      good.left(300),
      good.left(414) + test::LE32(1000000) + good.mid(418),
      good.left(410) + test::LE32(INT32_MAX - 27) + test::LE32(INT32_MAX) + good.mid(418),
  };
  for (const QByteArray& bytes : cases) {
    test::WriteFile(File("broken.krf"), bytes);
    const TRun r = Cli({QStringLiteral("dump"), File("broken.krf")});
    EXPECT_EQ(r.Code, 2);
    EXPECT_TRUE(r.Out.isEmpty());
    EXPECT_TRUE(r.Err.contains(QStringLiteral("broken.krf"))) << r.Err.toStdString();
  }
}

}  // namespace
}  // namespace k2
