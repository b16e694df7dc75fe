#include <QProcess>
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "common/TestSupport.h"

namespace k2::clitest {

// Runs build/bin/kurvino2-cli and returns its exit code, -1 when it did not exit
// normally.  The other test files of this folder declare and use it too.
int RunCli(const QStringList& args, QString* out, QString* err) {
  QProcess p;
  p.start(test::BinDir() + QStringLiteral("/kurvino2-cli"), args);
  if (!p.waitForFinished(60000)) return -1;
  *out = QString::fromUtf8(p.readAllStandardOutput());
  *err = QString::fromUtf8(p.readAllStandardError());
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TCliResult RunCliIn(const QString& dir, const QStringList& args) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.start(test::BinDir() + QStringLiteral("/kurvino2-cli"),
          QStringList{QStringLiteral("--settings"), dir + QStringLiteral("/Kurvino2.ini")} + args);
  TCliResult r;
  if (!p.waitForFinished(30000)) return r;
  r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.Out = p.readAllStandardOutput();
  r.Err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

namespace {

struct TRun {
  int Code = -1;
  QString Out;
  QString Err;
};

TRun Cli(const QStringList& args) {
  TRun r;
  r.Code = RunCli(args, &r.Out, &r.Err);
  return r;
}

TEST(CliCommon, HelpListsTheCommandsAndOptions) {
  const TRun r = Cli({QStringLiteral("--help")});
  EXPECT_EQ(r.Code, 0);
  for (const char* text : {"Usage: kurvino2-cli [--settings FILE] COMMAND", "dump FILE",
                           "build IN.json OUT", "--settings FILE", "--version", "Exit codes"})
    EXPECT_TRUE(r.Out.contains(QString::fromLatin1(text))) << text;
}

TEST(CliCommon, VersionIsTheProgramsVersion) {
  const TRun r = Cli({QStringLiteral("--version")});
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out, QStringLiteral("kurvino2-cli 2.0.0\n"));
}

struct TUsageCase {
  const char* Name;
  QStringList Args;
  const char* Message;  // part of the text on stderr
};
void PrintTo(const TUsageCase& c, std::ostream* os) { *os << c.Name; }

class CliUsageTest : public ::testing::TestWithParam<TUsageCase> {};

TEST_P(CliUsageTest, BadUsageExitsWithTwo) {
  const TRun r = Cli(GetParam().Args);
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
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace k2::clitest
