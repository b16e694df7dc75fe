// kurvino2-cli run and render-frame, run as a separate process.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"

namespace k2 {
namespace {

using test::ArcAround;
using test::LineTo;

using TRun = clitest::TCliResult;

QString Module(const char* name) {
  return test::BinDir() + QStringLiteral("/../test-modules/%1.so").arg(QLatin1String(name));
}

class CliRunTest : public ::testing::Test {
 protected:
  CliRunTest() {
    EXPECT_TRUE(
        test::SaveTrack(File("track.kpf"),
                        {LineTo(2300, 0), ArcAround(2300, 800, 90), LineTo(3100, 3200),
                         ArcAround(2300, 3200, 90), LineTo(-2300, 4000), ArcAround(-2300, 3200, 90),
                         LineTo(-3100, 800), ArcAround(-2300, 800, 90), LineTo(0, 0)}));
    auto car = test::RowCar(5, 10, true);
    EXPECT_TRUE(test::SaveCar(File("car.kcf"), *car));
  }

  QString File(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }

  // Runs the tool with the temp folder's settings file (absent); `env` adds NAME=value
  // variables.
  TRun Cli(const QStringList& args, const QStringList& env = {}) const {
    clitest::TCliOptions options = clitest::InFolder(Dir.Dir());
    options.Env = env;
    return clitest::RunCli(args, options);
  }

  // run on track.kpf and car.kcf with the given module and further options.
  TRun Run(const QString& module, const QStringList& more, const QStringList& env = {}) const {
    return Cli(
        QStringList{QStringLiteral("run"), QStringLiteral("--track"), File("track.kpf"),
                    QStringLiteral("--car"), File("car.kcf"), QStringLiteral("--judge"), module} +
            more,
        env);
  }

  QJsonObject Dump(const QString& file) const {
    const TRun r = Cli({QStringLiteral("dump"), file});
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    return QJsonDocument::fromJson(r.Out).object();
  }

  test::TTempDir Dir;
};

TEST_F(CliRunTest, JsonSummaryMatchesTheSavedRecord) {
  const TRun r = Run(Module("follower"),
                     {"--steps", "300", "--step", "20", "--out", File("run.krf"), "--json"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  // No progress bar without a terminal.
  EXPECT_FALSE(r.Err.contains(QLatin1Char('\r')) || r.Err.contains(QLatin1Char('%')))
      << r.Err.toStdString();
  ASSERT_EQ(r.Out.count('\n'), 1);
  const QJsonObject s = QJsonDocument::fromJson(r.Out).object();
  EXPECT_EQ(s.keys(), (QStringList{"best_lap_s", "final", "lap_times_s", "lap_valid", "laps",
                                   "max_warp", "off_track_steps", "progress_mm", "sim_ms", "steps",
                                   "steps_per_s", "track_length_mm", "wall_s"}));
  EXPECT_EQ(s["steps"].toInt(), 300);
  EXPECT_EQ(s["sim_ms"].toInt(), 6000);
  EXPECT_GT(s["wall_s"].toDouble(), 0);
  EXPECT_GT(s["steps_per_s"].toDouble(), 0);

  const QJsonObject record = Dump(File("run.krf"));
  EXPECT_EQ(record["TrackFileName"].toString(), QStringLiteral("track.kpf"));
  EXPECT_EQ(record["CarFileName"].toString(), QStringLiteral("car.kcf"));
  EXPECT_EQ(record["JudgeFileName"].toString(), QStringLiteral("follower.so"));
  EXPECT_EQ(record["StepMs"].toInt(), 20);
  EXPECT_EQ(record["SensorCount"].toInt(), 5);
  const QJsonArray steps = record["Records"].toArray();
  ASSERT_EQ(steps.size(), 300);
  double maxWarp = 0;
  for (const auto& step : steps) maxWarp = std::max(maxWarp, step.toObject()["Warp"].toDouble());
  EXPECT_EQ(s["max_warp"].toDouble(), maxWarp);
  const QJsonObject last = steps.last().toObject();
  const QJsonObject final = s["final"].toObject();
  EXPECT_EQ(final.keys(), (QStringList{"Heading", "PosX", "PosY"}));
  for (const char* key : {"PosX", "PosY", "Heading"})
    EXPECT_EQ(final[key].toDouble(), last[key].toDouble()) << key;
  EXPECT_GT(last["PosX"].toDouble(), 1000);

  // The same inputs give the same bytes.
  ASSERT_EQ(
      Run(Module("follower"), {"--steps", "300", "--step", "20", "--out", File("again.krf")}).Code,
      0);
  EXPECT_EQ(test::ReadFile(File("again.krf")), test::ReadFile(File("run.krf")));
}

TEST_F(CliRunTest, WithoutJsonOneLineSummary) {
  const TRun r = Run(Module("silent"), {"--steps", "5"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.startsWith("5 steps, 0.05 s simulated")) << r.Out.toStdString();
  EXPECT_EQ(r.Out.count('\n'), 1);
}

struct TLoadCase {
  const char* Name;
  const char* Track;  // file name in the temp folder, or "" for the good one
  const char* Car;
  const char* Judge;  // test module, or a file name in the temp folder
  const char* Message;
  const char* Env;
};
void PrintTo(const TLoadCase& c, std::ostream* os) { *os << c.Name; }

class CliLoadErrorTest : public CliRunTest, public ::testing::WithParamInterface<TLoadCase> {};

TEST_P(CliLoadErrorTest, ExitsWithTwoAndThePagesMessage) {
  const TLoadCase& c = GetParam();
  ASSERT_TRUE(test::SaveTrack(File("empty.kpf"), {}));
  test::WriteFile(File("car.so"), "not a library");
  const QString track = *c.Track ? File(c.Track) : File("track.kpf");
  const QString car = *c.Car ? File(c.Car) : File("car.kcf");
  const QString judge = QByteArray(c.Judge).endsWith(".so") ? File(c.Judge) : Module(c.Judge);
  QStringList env;
  if (*c.Env) env << QString::fromLatin1(c.Env);
  const TRun r = Cli({"run", "--track", track, "--car", car, "--judge", judge, "--steps", "5",
                      "--out", File("run.krf")},
                     env);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(QString::fromUtf8(c.Message))) << r.Err.toStdString();
  const QString named = r.Err.contains(QStringLiteral("赛道"))   ? track
                        : r.Err.contains(QStringLiteral("赛车")) ? car
                                                                 : judge;
  EXPECT_TRUE(r.Err.contains(named)) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_TRUE(test::ReadFile(File("run.krf")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Loads, CliLoadErrorTest,
    ::testing::Values(
        TLoadCase{"MissingTrack", "none.kpf", "", "silent", "赛道文件加载错误！", ""},
        TLoadCase{"TrackWithoutElements", "empty.kpf", "", "silent", "赛道文件加载错误！", ""},
        TLoadCase{"CarGivenAsTrack", "car.kcf", "", "silent", "赛道文件加载错误！", ""},
        TLoadCase{"MissingCar", "", "none.kcf", "silent", "赛车文件加载错误！", ""},
        TLoadCase{"TrackGivenAsCar", "", "track.kpf", "silent", "赛车文件加载错误！", ""},
        TLoadCase{"MissingModule", "", "", "none.so", "决策文件加载错误！", ""},
        TLoadCase{"ModuleWithoutJudge", "", "", "nojudge", "决策文件加载错误！", ""},
        TLoadCase{"ModuleWithoutReset", "", "", "noreset", "决策文件加载错误！", ""},
        TLoadCase{"NotALibrary", "", "", "car.so", "决策文件加载错误！", ""},
        TLoadCase{"ResetFails", "", "", "faulty", "决策文件加载错误！", "K2_RESET_FAULT=1"}),
    test::TCaseName());

TEST_F(CliRunTest, BadOptionsExitWithTwo) {
  const QStringList cases[] = {
      {"--step", "5"},          {"--step", "10001"}, {"--step", "ten"}, {"--steps", "-1"},
      {"--steps", "300000000"},  // 3e9 ms of simulated time
      {"--judge-timeout", "0"}, {"--foo"},           {"--foo", "1"},    {"--steps"},
      {"--laps", "0"},          {"--laps", "x"},     {"--laps"},
  };
  for (const QStringList& more : cases) {
    const TRun r = Run(Module("silent"), more);
    EXPECT_EQ(r.Code, 2) << more.join(' ').toStdString();
    EXPECT_TRUE(r.Err.contains(more.first())) << r.Err.toStdString();
  }
  const TRun r = Cli({"run", "--track", File("track.kpf"), "--car", File("car.kcf")});
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(QStringLiteral("--judge")));
}

class CliJudgeFaultTest : public CliRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CliJudgeFaultTest, ExitsWithThreeKeepingTheStepsBefore) {
  const TRun r = Run(
      Module("faulty"),
      {"--steps", "10", "--out", File("run.krf"), "--judge-timeout", "300", "--json"},
      {QStringLiteral("K2_FAULT=") + QLatin1String(GetParam()), QStringLiteral("K2_FAULT_AT=4")});
  EXPECT_EQ(r.Code, 3);
  EXPECT_TRUE(r.Err.contains(QStringLiteral("Judge()函数调用错误，请检查函数编写是否正确！")))
      << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains(QStringLiteral("judge 3\n")));  // the module's own output
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_EQ(Dump(File("run.krf"))["Records"].toArray().size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Faults, CliJudgeFaultTest, ::testing::Values("segv", "hang"),
                         test::TCaseName());

TEST_F(CliRunTest, RenderFrameDrawsARecordedStep) {
  ASSERT_EQ(Run(Module("follower"), {"--steps", "100", "--out", File("run.krf")}).Code, 0);
  const TRun r = Cli({"render-frame", File("run.krf"), "99", File("frame.png")});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QImage img(File("frame.png"));
  ASSERT_EQ(img.size(), QSize(430, 430));
  const QRgb body = img.pixel(215, 215);  // the car at the centre, dark blue
  EXPECT_GT(qBlue(body), 2 * qRed(body));
  int trail = 0;  // red, below and behind the car
  for (int y = 0; y < 430; ++y)
    for (int x = 0; x < 430; ++x) {
      const QRgb p = img.pixel(x, y);
      trail += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
    }
  EXPECT_GT(trail, 50);

  for (const char* index : {"-1", "100", "x", ""}) {
    const TRun bad = Cli({"render-frame", File("run.krf"), index, File("bad.png")});
    EXPECT_EQ(bad.Code, 2) << index;
    EXPECT_TRUE(bad.Err.contains(QStringLiteral("0 and 99"))) << bad.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(File("bad.png")));
  }
  const TRun missing = Cli({"render-frame", File("none.krf"), "0", File("bad.png")});
  EXPECT_EQ(missing.Code, 2);
  EXPECT_TRUE(missing.Err.contains(QStringLiteral("仿真记录文件打开错误！")));
  EXPECT_EQ(Cli({"render-frame", File("run.krf"), "0"}).Code, 2);
}

}  // namespace
}  // namespace k2
