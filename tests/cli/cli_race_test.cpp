// kurvino2-cli race, run as a separate process: the example modules ranked as their own
// runs measure them, the three output forms, runs that end early, and bad input.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "car/uCar.h"
#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"

namespace k2 {
namespace {

using TRun = clitest::TCliResult;

QString Bin(const char* name) { return test::BinDir() + QLatin1Char('/') + QLatin1String(name); }
QString TestModule(const char* name) {
  return test::BinDir() + QStringLiteral("/../test-modules/%1.so").arg(QLatin1String(name));
}

class CliRaceTest : public ::testing::Test {
 protected:
  // The Light8 car with the CCD camera of CCD128x32, so that both examples can drive it.
  CliRaceTest() {
    TCar light(nullptr, 2000), ccd(nullptr, 2000);
    light.FileName = Bin("Car/Light8.kcf");
    ccd.FileName = Bin("Car/CCD128x32.kcf");
    EXPECT_TRUE(light.LoadFromFile() && ccd.LoadFromFile());
    light.SetCCDSensor(std::move(ccd.CCDSensor));
    EXPECT_TRUE(test::SaveCar(File("both.kcf"), light));
  }
  QString File(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }
  TRun Cli(const QStringList& args, const QStringList& env = {}) const {
    clitest::TCliOptions options = clitest::InFolder(Dir.Dir());
    options.Env = env;
    return clitest::RunCli(args, options);
  }
  QJsonObject Json(const TRun& r) const {
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    return QJsonDocument::fromJson(r.Out).object();
  }
  TRun Race(const QStringList& judges, const QStringList& more, const QStringList& env = {}) const {
    QStringList args{"race", "--track", Bin("Default.kpf"), "--car", File("both.kcf")};
    for (const QString& j : judges) args << "--judge" << j;
    return Cli(args + more, env);
  }
  static bool Ahead(const QJsonObject& a, const QJsonObject& b) {
    if (a["best_lap_s"].isNull() != b["best_lap_s"].isNull()) return b["best_lap_s"].isNull();
    if (a["best_lap_s"] != b["best_lap_s"])
      return a["best_lap_s"].toDouble() < b["best_lap_s"].toDouble();
    if (a["laps"] != b["laps"]) return a["laps"].toInt() > b["laps"].toInt();
    return a["off_track_steps"].toInt() <= b["off_track_steps"].toInt();
  }

  test::TTempDir Dir;
};

TEST_F(CliRaceTest, RanksTheExampleModulesAsTheirOwnRunsDo) {
  const QStringList judges = {Bin("Judgement/LightFollower.so"), Bin("Judgement/CcdFollower.so")};
  const TRun r = Race(judges, {"--time", "45", "--json"});
  const QJsonArray results = Json(r)["results"].toArray();
  ASSERT_EQ(results.size(), 2);
  for (const char* module : {"LightFollower.so", "CcdFollower.so"})
    EXPECT_TRUE(r.Err.contains(QLatin1String(module))) << r.Err.toStdString();  // progress
  EXPECT_TRUE(Ahead(results[0].toObject(), results[1].toObject()));
  for (qsizetype i = 0; i < results.size(); ++i) {
    const QJsonObject e = results[i].toObject();
    EXPECT_EQ(e["rank"].toInt(), i + 1);
    EXPECT_TRUE(e["ended_early"].isNull());
    EXPECT_EQ(e["total_time_s"].toDouble(), 45);
    // The same as a run of that module alone.
    const QJsonObject alone =
        Json(Cli({"run", "--track", Bin("Default.kpf"), "--car", File("both.kcf"), "--judge",
                  e["judge"].toString(), "--steps", "4500", "--json"}));
    EXPECT_GE(alone["laps"].toInt(), 2);
    for (const char* key : {"laps", "best_lap_s", "off_track_steps", "max_warp", "lap_times_s"})
      EXPECT_EQ(e[key], alone[key]) << key;
  }

  // The same board as CSV and as a table, one job at a time.
  const TRun csv = Race(judges, {"--time", "45", "--csv", "--jobs", "1"});
  ASSERT_EQ(csv.Code, 0) << csv.Err.toStdString();
  const QStringList rows = csv.OutText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[0],
            "rank,module,laps,best_lap_s,total_time_s,max_warp,off_track_steps,ended_early");
  for (int i = 0; i < 2; ++i) {
    const QStringList cells = rows[i + 1].split(QLatin1Char(','));
    ASSERT_EQ(cells.size(), 8);
    EXPECT_EQ(cells[1], results[i]["module"].toString());
    EXPECT_EQ(cells[3].toDouble(), results[i]["best_lap_s"].toDouble());
    EXPECT_EQ(cells[7], "");
  }
  const TRun table = Race(judges, {"--time", "45"});
  const QStringList lines = table.OutText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith("rank  module"));
  EXPECT_TRUE(lines[1].simplified().startsWith("1 " + results[0]["module"].toString()));
}

TEST_F(CliRaceTest, ARunThatEndsEarlySaysWhy) {
  const QStringList judges = {TestModule("faulty"), Bin("Judgement/LightFollower.so"),
                              TestModule("nojudge")};
  const TRun r =
      Race(judges, {"--time", "30", "--laps", "1", "--json"}, {"K2_FAULT_AT=50", "K2_FAULT=segv"});
  const QJsonArray results = Json(r)["results"].toArray();
  ASSERT_EQ(results.size(), 3);
  const QJsonObject first = results[0].toObject();
  EXPECT_EQ(first["module"].toString(), "LightFollower.so");
  EXPECT_EQ(first["laps"].toInt(), 1);  // --laps ends the run
  EXPECT_LT(first["total_time_s"].toDouble(), 30);
  EXPECT_TRUE(first["ended_early"].isNull());
  for (const QJsonValue& v : results) {
    const QJsonObject e = v.toObject();
    if (e["module"] == "faulty.so") {
      EXPECT_TRUE(e["ended_early"].toString().contains("Judge()函数调用错误"))
          << e["ended_early"].toString().toStdString();
      EXPECT_EQ(e["total_time_s"].toDouble(), 0.49);  // the 49 steps before the failed call
    } else if (e["module"] == "nojudge.so") {
      EXPECT_TRUE(e["ended_early"].toString().contains("决策文件加载错误"))
          << e["ended_early"].toString().toStdString();
      EXPECT_EQ(e["total_time_s"].toDouble(), 0);
    }
  }
  EXPECT_TRUE(Ahead(results[1].toObject(), results[2].toObject()));
}

TEST_F(CliRaceTest, BadInputExitsWithTwo) {
  const QString good = Bin("Judgement/LightFollower.so");
  struct TCase {
    QStringList Args;
    QString Named;
  };
  const TCase cases[] = {
      {{"race", "--track", File("none.kpf"), "--car", File("both.kcf"), "--judge", good},
       File("none.kpf")},
      {{"race", "--track", Bin("Default.kpf"), "--car", File("none.kcf"), "--judge", good},
       File("none.kcf")},
      {{"race", "--track", Bin("Default.kpf"), "--car", File("both.kcf"), "--judge", good,
        "--judge", File("none.so")},
       File("none.so")},
      {{"race", "--track", Bin("Default.kpf"), "--car", File("both.kcf")}, "--judge"},
      {{"race", "--track", Bin("Default.kpf"), "--car", File("both.kcf"), "--judge", good, "--json",
        "--csv"},
       "--csv"},
  };
  for (const TCase& c : cases) {
    const TRun r = Cli(c.Args);
    EXPECT_EQ(r.Code, 2) << c.Args.join(' ').toStdString();
    EXPECT_TRUE(r.Out.isEmpty());
    EXPECT_TRUE(r.Err.contains(c.Named)) << r.Err.toStdString();
  }
  for (const QStringList& bad : {QStringList{"--jobs", "0"}, QStringList{"--time", "0"},
                                 QStringList{"--laps", "0"}, QStringList{"--time"}}) {
    const TRun r = Race({good}, bad);
    EXPECT_EQ(r.Code, 2) << bad.join(' ').toStdString();
    EXPECT_TRUE(r.Err.contains(bad.first())) << r.Err.toStdString();
  }
}

}  // namespace
}  // namespace k2
