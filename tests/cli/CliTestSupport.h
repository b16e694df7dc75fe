#pragma once
// Running build/bin/kurvino2-cli from the CLI tests.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace k2::clitest {

struct TCliResult {
  int Code = -1;  // -1 when the tool did not exit normally
  QByteArray Out;
  QString Err;
};

// Runs the tool in `dir` with `dir`/Kurvino2.ini as its settings file (absent unless the
// test writes it), so that every run starts from the built-in defaults.
TCliResult RunCliIn(const QString& dir, const QStringList& args);

}  // namespace k2::clitest
