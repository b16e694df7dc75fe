#include <QDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"

namespace k2::clitest {
namespace {

TEST(CliCommon, HelpListsTheCommandsAndOptions) {
  const TCliResult r = RunCli({QStringLiteral("--help")});
  EXPECT_EQ(r.Code, 0);
  for (const char* text :
       {"Usage: kurvino2-cli [--settings FILE] COMMAND", "dump FILE", "build IN.json OUT",
        "laps R.krf", "race --track", "--settings FILE", "--version", "Exit codes"})
    EXPECT_TRUE(r.OutText().contains(QString::fromLatin1(text))) << text;
}

// A save on a full disk (a file-size limit stands in for it; the tool inherits it)
// fails with exit 2, names the file and the reason, and keeps the previous file.
TEST(CliCommon, AFailedSaveKeepsThePreviousFileAndSaysWhy) {
  test::TTempDir dir;
  const QString json = dir.Path(QStringLiteral("t.json")), out = dir.Path(QStringLiteral("t.kpf"));
  test::WriteFile(json, R"({"type":"track","Design":[{"Line":[1000,0]}]})");
  test::WriteFile(out, "previous");
  TCliResult r;
  {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto old = signal(SIGXFSZ, SIG_IGN);
    const rlimit low{16, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &low);
    r = RunCli({QStringLiteral("build"), json, out});
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old);
  }
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Err.contains(out)) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains(QStringLiteral("文件超出允许的大小"))) << r.Err.toStdString();
  EXPECT_EQ(test::ReadFile(out), QByteArray("previous"));
  EXPECT_EQ(QDir(dir.Dir()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left
}

TEST(CliCommon, VersionIsTheProgramsVersion) {
  const TCliResult r = RunCli({QStringLiteral("--version")});
  EXPECT_EQ(r.Code, 0);
  // The build's program folder is writable: the data folder is the program folder.
  EXPECT_TRUE(r.OutText().startsWith(QStringLiteral("kurvino2-cli 2.0.0\ndata folder: ")))
      << r.OutText().toStdString();
  EXPECT_TRUE(r.OutText().endsWith(QStringLiteral("/bin/\n"))) << r.OutText().toStdString();
}

struct TUsageCase {
  const char* Name;
  QStringList Args;
  const char* Message;  // part of the text on stderr
};
void PrintTo(const TUsageCase& c, std::ostream* os) { *os << c.Name; }

class CliUsageTest : public ::testing::TestWithParam<TUsageCase> {};

TEST_P(CliUsageTest, BadUsageExitsWithTwo) {
  const TCliResult r = RunCli(GetParam().Args);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Out.isEmpty());
  EXPECT_TRUE(r.Err.contains(QString::fromLatin1(GetParam().Message))) << r.Err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsageTest,
    ::testing::Values(
        TUsageCase{"NoCommand", {}, "Usage:"},
        TUsageCase{"UnknownCommand", {QStringLiteral("frobnicate")}, "unknown command frobnicate"},
        TUsageCase{"UnknownOption", {QStringLiteral("--verbose")}, "unknown option --verbose"},
        TUsageCase{
            "SettingsWithoutFile", {QStringLiteral("--settings")}, "--settings needs a FILE"},
        TUsageCase{"DumpWithoutFile", {QStringLiteral("dump")}, "dump takes one FILE"},
        TUsageCase{"BuildWithOneArgument",
                   {QStringLiteral("build"), QStringLiteral("a.json")},
                   "build takes IN.json and OUT"}),
    test::TCaseName());

}  // namespace
}  // namespace k2::clitest
