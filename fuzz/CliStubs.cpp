// The two helpers of kurvino2-cli's main.cpp that the file kinds' units refer to.  The
// targets never run a command, so these are never called; main.cpp itself cannot be
// linked in beside libFuzzer's main.
#include "cli/CliCommands.h"

namespace k2::cli {

int Fail(const QString&, int code) { return code; }
int WritePng(const QImage&, const QString&) { return ExitBadInput; }

}  // namespace k2::cli
