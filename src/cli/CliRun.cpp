// run and render-frame.
#include "cli/CliCommands.h"

namespace k2::cli {

int CmdRun(const QStringList&) { return Fail(QStringLiteral("run is not supported yet")); }
int CmdRenderFrame(const QStringList&) {
  return Fail(QStringLiteral("render-frame is not supported yet"));
}

}  // namespace k2::cli
