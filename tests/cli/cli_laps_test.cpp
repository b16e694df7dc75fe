// Lap timing in kurvino2-cli, run as a separate process on the sample files: run's lap
// keys and its two new ends, laps on the saved record, and the CSV export's lap columns.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <limits>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "geometry/uConstants.h"
#include "simulation/SimFixtures.h"

namespace k2 {
namespace {

using TRun = clitest::TCliResult;

// The keys of run --json, in the order written: those of before, then the lap keys.
const QStringList RunKeys = {"steps",          "sim_ms",    "wall_s",          "steps_per_s",
                             "max_warp",       "final",     "track_length_mm", "laps",
                             "lap_times_s",    "lap_valid", "best_lap_s",      "progress_mm",
                             "off_track_steps"};
const QStringList LapKeys = RunKeys.mid(6);

QString Bin(const char* name) { return test::BinDir() + QLatin1Char('/') + QLatin1String(name); }

// The keys of a JSON object's text in the order they appear (top level only).
QStringList KeyOrder(const QByteArray& json) {
  QStringList keys;
  const QJsonObject o = QJsonDocument::fromJson(json).object();
  std::vector<std::pair<qsizetype, QString>> at;
  for (const QString& k : o.keys()) at.emplace_back(json.indexOf('"' + k.toUtf8() + "\":"), k);
  std::sort(at.begin(), at.end());
  for (const auto& p : at) keys << p.second;
  return keys;
}

class CliLapsTest : public ::testing::Test {
 protected:
  QString File(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }
  TRun Cli(const QStringList& args, const QStringList& env = {}) const {
    clitest::TCliOptions options = clitest::InFolder(Dir.Dir());
    options.Env = env;
    return clitest::RunCli(args, options);
  }
  // run with the Light8 sample car and LightFollower on `track`.
  TRun Run(const QString& track, const QStringList& more) const {
    return Cli(QStringList{"run", "--track", track, "--car", Bin("Car/Light8.kcf"), "--judge",
                           Bin("Judgement/LightFollower.so")} +
               more);
  }
  QJsonObject Json(const TRun& r) const {
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    return QJsonDocument::fromJson(r.Out).object();
  }
  // The track length by its definition, from the dump of a track file.
  double TrackLength(const QString& track) const {
    // The dump writes each float in its shortest form: read back as a float, exactly.
    auto f = [](const QJsonValue& v) {
      return static_cast<double>(static_cast<float>(v.toDouble()));
    };
    double length = 0;
    for (const auto& item : Json(Cli({"dump", track}))["Elements"].toArray()) {
      const QJsonObject e = item.toObject();
      if (e["Kind"].toInt() == 1) {
        length += f(e["Radius"]) * std::fabs(e["SweepAngle"].toDouble()) * Pi / 180;
      } else {
        const QJsonObject a = e["StartPoint"].toObject(), b = e["EndPoint"].toObject();
        length += std::hypot(f(b["X"]) - f(a["X"]), f(b["Y"]) - f(a["Y"]));
      }
    }
    return length;
  }

  test::TTempDir Dir;
};

struct TSampleCase {
  const char* Name;
  const char* Track;
  int MinLaps;       // at least this many laps
  bool LeavesTrack;  // the car goes off the track (and completes no lap)
};
void PrintTo(const TSampleCase& c, std::ostream* os) { *os << c.Name; }

class CliLapsSampleTest : public CliLapsTest, public ::testing::WithParamInterface<TSampleCase> {};

// run --json, laps --json on its record and the record's CSV give the same figures.
TEST_P(CliLapsSampleTest, RunLapsAndTheCsvAgree) {
  const TSampleCase& c = GetParam();
  const TRun run = Run(Bin(c.Track), {"--steps", "4000", "--out", File("run.krf"), "--json"});
  const QJsonObject live = Json(run);
  EXPECT_EQ(KeyOrder(run.Out), RunKeys);
  const TRun laps = Cli({"laps", File("run.krf"), "--json"});
  const QJsonObject saved = Json(laps);
  EXPECT_EQ(KeyOrder(laps.Out), QStringList({"steps", "sim_ms", "max_warp"}) + LapKeys);
  for (const QString& key : QStringList({"steps", "sim_ms", "max_warp"}) + LapKeys)
    EXPECT_EQ(saved[key], live[key]) << key.toStdString();

  // The definition: the track's length, one validity per lap time, the best valid lap.
  EXPECT_NEAR(live["track_length_mm"].toDouble(), TrackLength(Bin(c.Track)), 1e-6);
  const QJsonArray times = live["lap_times_s"].toArray(), valid = live["lap_valid"].toArray();
  ASSERT_EQ(times.size(), live["laps"].toInt());
  ASSERT_EQ(valid.size(), times.size());
  EXPECT_GE(live["laps"].toInt(), c.MinLaps);
  double best = std::numeric_limits<double>::infinity(), total = 0;
  for (qsizetype k = 0; k < times.size(); ++k) {
    EXPECT_GT(times[k].toDouble(), 0);
    total += times[k].toDouble();
    if (valid[k].toBool()) best = std::min(best, times[k].toDouble());
  }
  EXPECT_LE(total, live["sim_ms"].toDouble() / 1000);
  if (std::isinf(best))
    EXPECT_TRUE(live["best_lap_s"].isNull());
  else
    EXPECT_EQ(live["best_lap_s"].toDouble(), best);
  EXPECT_EQ(live["off_track_steps"].toInt() > 0, c.LeavesTrack);
  EXPECT_GE(live["progress_mm"].toDouble(), 0);
  EXPECT_LE(live["progress_mm"].toDouble(), live["track_length_mm"].toDouble());

  // The CSV's lap columns: a lap time on each completing row, the off-track flags, the
  // progress of the last step.
  ASSERT_EQ(Cli({"export-csv", File("run.krf"), File("run.csv")}).Code, 0);
  QList<QByteArray> rows = test::ReadFile(File("run.csv")).split('\n');
  rows.removeLast();
  ASSERT_EQ(rows.size(), 4001);
  const QList<QByteArray> header = rows[0].split(',');
  const qsizetype first = header.indexOf("progress_mm");
  ASSERT_EQ(header.mid(first),
            QList<QByteArray>({"progress_mm", "laps", "lap_time_s", "lap_valid", "off_track"}));
  QJsonArray csvTimes;
  int offTrack = 0;
  for (qsizetype i = 1; i < rows.size(); ++i) {
    const QList<QByteArray> cells = rows[i].split(',');
    if (!cells[first + 2].isEmpty()) csvTimes.append(cells[first + 2].toDouble());
    offTrack += cells[first + 4].toInt();
  }
  EXPECT_EQ(csvTimes, times);
  EXPECT_EQ(offTrack, live["off_track_steps"].toInt());
  EXPECT_EQ(rows.last().split(',')[first].toDouble(), live["progress_mm"].toDouble());
}

INSTANTIATE_TEST_SUITE_P(
    Samples, CliLapsSampleTest,
    ::testing::Values(TSampleCase{"Default", "Default.kpf", 2, false},
                      TSampleCase{"FigureOfEight", "Path/FigureEight.kpf", 2, false},
                      TSampleCase{"LeavesTheSBend", "Path/SBend.kpf", 0, true}),
    test::TCaseName());

TEST_F(CliLapsTest, LapsEndsTheRunAtTheStepThatCompletesTheLastLap) {
  const QJsonObject two =
      Json(Run(Bin("Default.kpf"), {"--steps", "100000", "--laps", "2", "--json"}));
  EXPECT_EQ(two["laps"].toInt(), 2);
  const int steps = two["steps"].toInt();
  EXPECT_LT(steps, 100000);
  EXPECT_EQ(two["sim_ms"].toInt(), steps * 10);
  // One step fewer and the second lap is not done.
  const QJsonObject before =
      Json(Run(Bin("Default.kpf"), {"--steps", QString::number(steps - 1), "--json"}));
  EXPECT_EQ(before["laps"].toInt(), 1);
  // --steps still bounds the run.
  EXPECT_EQ(
      Json(Run(Bin("Default.kpf"), {"--steps", "50", "--laps", "1", "--json"}))["steps"].toInt(),
      50);
}

TEST_F(CliLapsTest, StopOffTrackEndsTheRunAtTheFirstStepOffTheTrack) {
  const QJsonObject r = Json(Run(Bin("Path/SBend.kpf"), {"--steps", "20000", "--stop-off-track",
                                                         "--out", File("run.krf"), "--json"}));
  EXPECT_EQ(r["off_track_steps"].toInt(), 1);
  const QJsonArray records = Json(Cli({"dump", File("run.krf")}))["Records"].toArray();
  ASSERT_EQ(records.size(), r["steps"].toInt());
  ASSERT_GT(records.size(), 1);
  EXPECT_LT(records.size(), 20000);
  for (qsizetype i = 0; i + 1 < records.size(); ++i)
    ASSERT_LE(records[i].toObject()["Warp"].toDouble(), 150) << i;
  EXPECT_GT(records.last().toObject()["Warp"].toDouble(), 150);
  // A car that stays on the track runs its steps.
  EXPECT_EQ(
      Json(Run(Bin("Default.kpf"), {"--steps", "3000", "--stop-off-track", "--json"}))["steps"]
          .toInt(),
      3000);
}

TEST_F(CliLapsTest, LapsPrintsATableOfLaps) {
  ASSERT_EQ(Run(Bin("Default.kpf"), {"--steps", "4000", "--out", File("run.krf")}).Code, 0);
  const TRun r = Cli({"laps", File("run.krf")});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QJsonObject json = Json(Cli({"laps", File("run.krf"), "--json"}));
  const QStringList lines = r.OutText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const int laps = json["laps"].toInt();
  ASSERT_EQ(lines.size(), laps + 2) << r.OutText().toStdString();
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("lap   time (s)"))) << lines[0].toStdString();
  for (int k = 0; k < laps; ++k) {
    const QStringList cells = lines[k + 1].simplified().split(QLatin1Char(' '));
    ASSERT_EQ(cells.size(), 4) << lines[k + 1].toStdString();
    EXPECT_EQ(cells[0].toInt(), k + 1);
    EXPECT_NEAR(cells[1].toDouble(), json["lap_times_s"][k].toDouble(), 0.0005);
    EXPECT_EQ(cells[3], json["lap_valid"][k].toBool() ? "yes" : "no");
  }
  EXPECT_TRUE(lines.last().startsWith(QStringLiteral("%1 laps, best ").arg(laps)))
      << lines.last().toStdString();

  // An open track: progress only.
  ASSERT_TRUE(test::SaveTrack(File("open.kpf"), {test::LineTo(3000, 0)}));
  ASSERT_EQ(Run(File("open.kpf"), {"--steps", "100", "--out", File("open.krf")}).Code, 0);
  const TRun open = Cli({"laps", File("open.krf")});
  EXPECT_TRUE(
      open.OutText().startsWith(QStringLiteral("open track of 3000.0 mm: no laps; progress ")))
      << open.OutText().toStdString();
  const QJsonObject openJson = Json(Cli({"laps", File("open.krf"), "--json"}));
  EXPECT_EQ(openJson["laps"].toInt(), 0);
  EXPECT_TRUE(openJson["best_lap_s"].isNull());
  EXPECT_GT(openJson["progress_mm"].toDouble(), 0);
}

TEST_F(CliLapsTest, LapsRefusesBadInput) {
  ASSERT_TRUE(test::SaveTrack(File("track.kpf"), {test::LineTo(1000, 0)}));
  struct TCase {
    QStringList Args;
    QString Named;
  };
  const TCase cases[] = {
      {{"laps", File("none.krf")}, File("none.krf")},
      {{"laps", File("track.kpf"), "--json"}, File("track.kpf")},
      {{"laps", File("track.kpf"), "--csv"}, "--csv"},
      {{"laps"}, "laps takes one R.krf"},
      {{"laps", File("a.krf"), File("b.krf")}, "laps takes one R.krf"},
  };
  for (const TCase& c : cases) {
    const TRun r = Cli(c.Args);
    EXPECT_EQ(r.Code, 2) << c.Args.join(' ').toStdString();
    EXPECT_TRUE(r.Out.isEmpty());
    EXPECT_TRUE(r.Err.contains(c.Named)) << r.Err.toStdString();
  }
}

}  // namespace
}  // namespace k2
