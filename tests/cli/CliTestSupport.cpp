#include "cli/CliTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "common/TestSupport.h"

namespace k2::clitest {

namespace {
// Generous for the longest run of the tests; it only keeps a hung tool from blocking
// the suite.
constexpr int FinishTimeoutMs = 60000;
}  // namespace

TCliOptions InFolder(const QString& dir) {
  TCliOptions o;
  o.WorkingDir = dir;
  o.SettingsFile = dir + QStringLiteral("/Kurvino2.ini");
  return o;
}

TCliResult RunCli(const QStringList& args, const TCliOptions& options) {
  QProcess p;
  if (!options.WorkingDir.isEmpty()) p.setWorkingDirectory(options.WorkingDir);
  if (!options.Env.isEmpty()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : options.Env)
      env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(env);
  }
  QStringList all;
  if (!options.SettingsFile.isEmpty()) all << QStringLiteral("--settings") << options.SettingsFile;
  all << args;
  const QString program = test::BinDir() + QStringLiteral("/kurvino2-cli");
  p.start(program, all);
  TCliResult r;
  if (!p.waitForFinished(FinishTimeoutMs)) {
    ADD_FAILURE() << program.toStdString() << " " << all.join(QLatin1Char(' ')).toStdString()
                  << ": " << p.errorString().toStdString();
    return r;
  }
  r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.Out = p.readAllStandardOutput();
  r.Err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

}  // namespace k2::clitest
