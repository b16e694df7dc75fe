#include <gtest/gtest.h>

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
