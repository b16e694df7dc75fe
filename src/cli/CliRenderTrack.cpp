// render-track.
#include "cli/CliCommands.h"

namespace k2::cli {

int CmdRenderTrack(const QStringList&) {
  return Fail(QStringLiteral("render-track is not supported yet"));
}

}  // namespace k2::cli
