#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"
#include "track/uPath.h"

namespace k2::clitest {
namespace {

using TRun = TCliResult;

// Every run names its own settings file, so that a Kurvino2.ini in build/bin never
// changes a result; the file exists only when a test writes it.
class CliTrackTest : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return Dir.Path(QString::fromUtf8(name)); }

  TRun Cli(const QStringList& args) const {
    TCliOptions options;
    options.SettingsFile = Settings;
    return RunCli(args, options);
  }
  TRun Dump(const QString& file) const { return Cli({QStringLiteral("dump"), file}); }
  TRun Build(const QString& in, const QString& out) const {
    return Cli({QStringLiteral("build"), in, out});
  }
  QString WriteJson(const char* name, const char* json) const {
    const QString p = Path(name);
    test::WriteFile(p, QByteArray(json));
    return p;
  }

  test::TTempDir Dir;
  QString Settings = Dir.Path(QStringLiteral("cli.ini"));
};

// A track saved by the model: a line and a half circle, PathWidth 250, Miu 0.3.
QString SaveSampleTrack(const QString& path) {
  TPath t(nullptr, 3000, nullptr, 6000);
  t.PathWidth = 250;
  t.Miu = 0.3f;
  t.AddLine(std::make_unique<TLineData>(TPointF{0, 0}, TPointF{1000, 0}));
  QString error;
  t.AddArc(BuildArc({1000, 0}, 1000, 500, 180, 400, error));
  t.FileName = path;
  EXPECT_TRUE(t.SaveToFile());
  return path;
}

// JSON as the standard reads it: a surrogate only in a pair, and a number below the
// smallest float is zero rather than out of range.
TEST_F(CliTrackTest, LoneSurrogatesAreRefusedAndTinyNumbersAreZero) {
  for (const char* json :
       {R"({"type":"tr\ud800\u0041ck","Design":[]})", R"({"type":"\udc00","Design":[]})",
        R"({"type":"\ud800","Design":[]})"}) {
    const TRun r = Build(WriteJson("s.json", json), Path("s.kpf"));
    EXPECT_EQ(r.Code, 2) << json;
    EXPECT_TRUE(r.Err.contains(QStringLiteral("surrogate"))) << r.Err.toStdString();
  }
  const TRun built = Build(
      WriteJson("t.json", R"({"type":"track","Design":[{"Line":[1000,-1e-50]}]})"), Path("t.kpf"));
  ASSERT_EQ(built.Code, 0) << built.Err.toStdString();
  EXPECT_EQ(Build(WriteJson("big.json", R"({"type":"track","Design":[{"Line":[1000,1e50]}]})"),
                  Path("b.kpf"))
                .Code,
            2);
  EXPECT_TRUE(Dump(Path("t.kpf")).OutText().contains(QStringLiteral("-0")))
      << Dump(Path("t.kpf")).OutText().toStdString();
}

TEST_F(CliTrackTest, DumpPrintsTheDocumentOfTheContract) {
  const TRun r = Dump(SaveSampleTrack(Path("sample.kpf")));
  EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_EQ(r.OutText().toStdString(),
            "{\"type\":\"track\",\"PathWidth\":250,\"LineWidth\":30,\"Miu\":0.3,"
            "\"Bounds\":{\"Left\":0,\"Top\":1000,\"Right\":1500,\"Bottom\":0},\"Elements\":["
            "{\"Kind\":0,\"StartPoint\":{\"X\":0,\"Y\":0},\"EndPoint\":{\"X\":1000,\"Y\":0}},"
            "{\"Kind\":1,\"StartPoint\":{\"X\":1000,\"Y\":0},\"EndPoint\":{\"X\":1000,\"Y\":1000},"
            "\"Center\":{\"X\":1000,\"Y\":500},\"Radius\":500,\"StartAngle\":-90,"
            "\"SweepAngle\":180}]}\n");
}

TEST_F(CliTrackTest, KindIsToldByTheTagNotTheName) {
  const TRun r = Dump(SaveSampleTrack(Path("looks-like-a-car.kcf")));
  EXPECT_EQ(r.Code, 0);
  EXPECT_TRUE(r.OutText().startsWith(QStringLiteral("{\"type\":\"track\"")));
}

TEST_F(CliTrackTest, BuildOfADumpGivesBackTheSameBytes) {
  // Floats that have no short decimal form, a negative zero, a subnormal and the
  // largest float, and an arc with an odd sweep.
  TPath t(nullptr, 3000, nullptr, 6000);
  t.Miu = 0.0123f;
  t.AddLine(std::make_unique<TLineData>(TPointF{0, 0}, TPointF{0.1f, -0.0f}));
  QString error;
  t.AddArc(BuildArc(t.LastEndPoint(), 123.457f, 457.1f, -37, 400, error));
  t.AddLine(std::make_unique<TLineData>(t.LastEndPoint(), TPointF{1e-40f, 3.4028235e38f}));
  t.AddLine(BuildCloseLine(t.LastEndPoint()));
  t.FileName = Path("odd.kpf");
  ASSERT_TRUE(t.SaveToFile());

  const TRun first = Dump(t.FileName);
  ASSERT_EQ(first.Code, 0) << first.Err.toStdString();
  const QString json = Path("odd.json");
  test::WriteFile(json, first.Out);
  const QString rebuilt = Path("rebuilt.kpf");
  ASSERT_EQ(Build(json, rebuilt).Code, 0);
  EXPECT_EQ(test::ReadFile(rebuilt), test::ReadFile(t.FileName));
  EXPECT_EQ(Dump(rebuilt).OutText(), first.OutText());
}

TEST_F(CliTrackTest, HandWrittenElementsGoThroughBuildDumpBuild) {
  const QString in =
      WriteJson("hand.json",
                "{ \"type\": \"track\", \"PathWidth\": 320, \"LineWidth\": 25, \"Miu\": 0.015,\n"
                "  \"Elements\": [\n"
                "    {\"Kind\": 0, \"StartPoint\": {\"X\": 0, \"Y\": 0}, \"EndPoint\": {\"X\": "
                "800.5, \"Y\": 0}},\n"
                "    {\"Kind\": 1, \"StartPoint\": {\"X\": 800.5, \"Y\": 0}, \"EndPoint\": {\"X\": "
                "1300.5, \"Y\": 500},\n"
                "     \"Center\": {\"X\": 800.5, \"Y\": 500}, \"Radius\": 500, \"StartAngle\": "
                "-90, \"SweepAngle\": 90}\n"
                "  ] }\n");
  const QString a = Path("a.kpf"), b = Path("b.kpf");
  ASSERT_EQ(Build(in, a).Code, 0);
  EXPECT_EQ(test::ReadFile(a).size(), 102);
  const TRun d = Dump(a);
  // Without stored bounds, they grow from the elements as in the editor.
  EXPECT_TRUE(d.OutText().contains(
      QStringLiteral("\"Bounds\":{\"Left\":0,\"Top\":1000,\"Right\":1300.5,\"Bottom\":0}")));
  test::WriteFile(Path("a.json"), d.Out);
  ASSERT_EQ(Build(Path("a.json"), b).Code, 0);
  EXPECT_EQ(test::ReadFile(b), test::ReadFile(a));
}

TEST_F(CliTrackTest, DesignFormFollowsTheBuildingRules) {
  const QString in = WriteJson(
      "design.json",
      "{\"type\":\"track\",\"PathWidth\":350,\"Design\":[{\"Line\":[1000,0]},"
      "{\"Arc\":[1000,500,180]},{\"Line\":[0,1000]},{\"Arc\":[0,500,180]},{\"Line\":[500,0]},"
      "{\"Close\":true}]}");
  const QString out = Path("design.kpf");
  const TRun r = Build(in, out);
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  TPath t(nullptr, 3000, nullptr, 6000);
  t.FileName = out;
  ASSERT_TRUE(t.LoadFromFile());
  EXPECT_EQ(t.PathWidth, 350);
  EXPECT_EQ(t.LineWidth, 30);  // left out: the default
  EXPECT_EQ(t.Miu, 0.01f);
  ASSERT_EQ(t.Elements.size(), 6u);
  EXPECT_EQ(t.Elements[3]->Kind, 1);
  EXPECT_TRUE(t.IsClosed());
  EXPECT_EQ(t.Bounds.Left, -500);
  EXPECT_EQ(t.Bounds.Right, 1500);
  EXPECT_EQ(t.Bounds.Top, 1000);
  // Each element starts where the previous one ended.
  for (size_t i = 1; i < t.Elements.size(); ++i) {
    EXPECT_EQ(t.Elements[i]->StartPoint.X, t.Elements[i - 1]->EndPoint.X);
    EXPECT_EQ(t.Elements[i]->StartPoint.Y, t.Elements[i - 1]->EndPoint.Y);
  }
}

struct TRejectCase {
  const char* Name;
  const char* Design;
  const char* Message;
};
void PrintTo(const TRejectCase& c, std::ostream* os) { *os << c.Name; }

class CliDesignRejectTest : public CliTrackTest,
                            public ::testing::WithParamInterface<TRejectCase> {};

TEST_P(CliDesignRejectTest, FirstRejectedActionFailsTheBuild) {
  const QString in = Path("reject.json");
  test::WriteFile(in, QByteArray("{\"type\":\"track\",\"Design\":") + GetParam().Design + "}");
  const QString out = Path("reject.kpf");
  const TRun r = Build(in, out);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(QString::fromUtf8(GetParam().Message))) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains(in)) << r.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliDesignRejectTest,
    ::testing::Values(
        TRejectCase{"ArcTooTight", "[{\"Line\":[1000,0]},{\"Arc\":[1000,300,90]}]",
                    "赛道半径小于规则最小半径！"},
        TRejectCase{"CentreOnTheStart", "[{\"Line\":[1000,0]},{\"Arc\":[1000,0,90]}]",
                    "圆心与起始点重合！"},
        TRejectCase{"NoSweep", "[{\"Arc\":[0,500,0]}]", "请输入弧扫过角度！"},
        TRejectCase{"LineToItsStart", "[{\"Line\":[1000,0]},{\"Line\":[1000,0]}]",
                    "终止点与起始点重合！"},
        TRejectCase{"FirstRejectionWins", "[{\"Line\":[0,0]},{\"Arc\":[0,100,90]}]",
                    "终止点与起始点重合！"},
        TRejectCase{"SweepBeyondAFullCircle", "[{\"Arc\":[0,500,361]}]", "-360 and 360"},
        TRejectCase{"CentreNotANumber", "[{\"Arc\":[\"NaN\",500,90]}]", "finite"},
        TRejectCase{"EndInfinite", "[{\"Line\":[\"Infinity\",0]}]", "finite"},

        TRejectCase{"CloseAtTheOrigin", "[{\"Close\":true}]", "already ends at the origin"},
        TRejectCase{"UnknownAction", "[{\"Spiral\":[1,2]}]", "expected"}),
    test::TCaseName());

TEST_F(CliTrackTest, SettingsSupplyTheRuleAndTheDefaults) {
  const QString in = WriteJson("tight.json",
                               "{\"type\":\"track\",\"LineWidth\":20,"
                               "\"Design\":[{\"Line\":[1000,0]},{\"Arc\":[1000,300,90]}]}");
  const QString out = Path("tight.kpf");
  ASSERT_EQ(Build(in, out).Code, 2);  // radius 300 is below the built-in 400

  test::WriteFile(Settings, QByteArray("[Rules]\nMinPathR=300\n"
                                       "[DefaultPathParam]\nPathWidth=280\nLineWidth=35\n"
                                       "Miu=0.05\n"));
  const TRun r = Build(in, out);
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  TPath t(nullptr, 3000, nullptr, 6000);
  t.FileName = out;
  ASSERT_TRUE(t.LoadFromFile());
  EXPECT_EQ(t.PathWidth, 280);
  EXPECT_EQ(t.LineWidth, 20);  // given in the document
  EXPECT_EQ(t.Miu, 0.05f);
  EXPECT_EQ(t.Elements.size(), 2u);
}

struct TBadInputCase {
  const char* Name;
  const char* Json;  // null: IN does not exist
};
void PrintTo(const TBadInputCase& c, std::ostream* os) { *os << c.Name; }

class CliBadBuildTest : public CliTrackTest, public ::testing::WithParamInterface<TBadInputCase> {};

TEST_P(CliBadBuildTest, NamesTheFileAndLeavesOutUntouched) {
  const QString in = Path("in.json");
  if (GetParam().Json) test::WriteFile(in, QByteArray(GetParam().Json));
  const QString out = Path("out.kpf");
  const QByteArray previous = test::ReadFile(SaveSampleTrack(out));
  const TRun r = Build(in, out);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(in)) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_EQ(test::ReadFile(out), previous);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadBuildTest,
    ::testing::Values(
        TBadInputCase{"MissingFile", nullptr},
        TBadInputCase{"NotJson", "{\"type\":\"track\",\"Elements\":["},
        TBadInputCase{"TrailingText", "{\"type\":\"track\",\"Elements\":[]} x"},
        TBadInputCase{"NoType", "{\"Elements\":[]}"},
        TBadInputCase{"UnknownType", "{\"type\":\"boat\"}"},
        TBadInputCase{"NoElements", "{\"type\":\"track\"}"},
        TBadInputCase{"DesignAndElements", "{\"type\":\"track\",\"Elements\":[],\"Design\":[]}"},
        TBadInputCase{"WidthNotWhole", "{\"type\":\"track\",\"PathWidth\":300.5,\"Elements\":[]}"},
        TBadInputCase{"UnknownKind",
                      "{\"type\":\"track\",\"Elements\":[{\"Kind\":2,\"StartPoint\":{\"X\":0,"
                      "\"Y\":0},\"EndPoint\":{\"X\":1,\"Y\":0}}]}"},
        TBadInputCase{"ArcWithoutRadius",
                      "{\"type\":\"track\",\"Elements\":[{\"Kind\":1,\"StartPoint\":{\"X\":0,"
                      "\"Y\":0},\"EndPoint\":{\"X\":1,\"Y\":0},\"Center\":{\"X\":0,\"Y\":1},"
                      "\"StartAngle\":0,\"SweepAngle\":90}]}"},
        TBadInputCase{"FloatOutOfRange", "{\"type\":\"track\",\"Miu\":1e39,\"Elements\":[]}"},
        TBadInputCase{
            "TightArc",
            "{\"type\":\"track\",\"Design\":[{\"Line\":[1000,0]},{\"Arc\":[1000,300,90]}]}"}),
    test::TCaseName());

TEST_F(CliTrackTest, UnwritableOutIsReportedByName) {
  const QString in = WriteJson("ok.json", "{\"type\":\"track\",\"Elements\":[]}");
  const QString out = Path("no/such/folder/out.kpf");
  const TRun r = Build(in, out);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(out)) << r.Err.toStdString();
}

struct TBadFileCase {
  const char* Name;
  QByteArray (*Bytes)(const QByteArray& good);  // from a valid track file
};
void PrintTo(const TBadFileCase& c, std::ostream* os) { *os << c.Name; }

class CliBadDumpTest : public CliTrackTest, public ::testing::WithParamInterface<TBadFileCase> {};

TEST_P(CliBadDumpTest, RefusesWithTheFilesName) {
  const QByteArray good = test::ReadFile(SaveSampleTrack(Path("good.kpf")));
  const QString bad = Path("bad.kpf");
  test::WriteFile(bad, GetParam().Bytes(good));
  const TRun r = Dump(bad);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(bad)) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadDumpTest,
    ::testing::Values(
        TBadFileCase{"Empty", [](const QByteArray&) { return QByteArray(); }},
        TBadFileCase{"Text", [](const QByteArray&) { return QByteArray("hello, world\n"); }},
        TBadFileCase{"LowerCaseTag",
                     [](const QByteArray& b) { return QByteArray(b).replace(4, 8, "pathfile"); }},
        TBadFileCase{
            "Version199",
            [](const QByteArray& b) { return QByteArray(b).replace(12, 4, test::LE32(199)); }},
        TBadFileCase{"Truncated", [](const QByteArray& b) { return b.left(b.size() - 1); }},
        TBadFileCase{
            "CountCannotFit",
            [](const QByteArray& b) { return QByteArray(b).replace(44, 4, test::LE32(1000)); }}),
    test::TCaseName());

TEST_F(CliTrackTest, DumpOfAMissingFileNamesIt) {
  const QString missing = Path("none.kpf");
  const TRun r = Dump(missing);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(missing));
}

}  // namespace
}  // namespace k2::clitest
