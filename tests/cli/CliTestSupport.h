#pragma once
// Running build/bin/kurvino2-cli from the tests as a separate process.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace k2::clitest {

struct TCliResult {
  int Code = -1;   // the exit code; -1 when the tool did not start, crashed or hung
  QByteArray Out;  // stdout as written
  QString Err;     // stderr, read as UTF-8
  QString OutText() const { return QString::fromUtf8(Out); }
};

struct TCliOptions {
  QString WorkingDir;    // empty: the test's current folder
  QString SettingsFile;  // passed as --settings before the arguments; empty: not passed
  QStringList Env;       // NAME=value entries added to the test's environment
};

// A run in `dir` with `dir`/Kurvino2.ini as its settings file, which is absent unless the
// test writes it, so that every run starts from the built-in defaults.
TCliOptions InFolder(const QString& dir);

// Runs the tool and waits for it; a tool that cannot be started or does not end within a
// minute fails the test.
TCliResult RunCli(const QStringList& args, const TCliOptions& options = {});

inline TCliResult RunCliIn(const QString& dir, const QStringList& args) {
  return RunCli(args, InFolder(dir));
}

}  // namespace k2::clitest
