// dump and build of car files, and render-car.
#include "cli/CliCommands.h"

namespace k2::cli {

namespace {
bool NotYet(const QByteArray&, TJsonWriter&, QString& error) {
  error = QStringLiteral("car files are not supported yet");
  return false;
}
bool NotYetBuild(const TJsonValue&, QByteArray&, QString& error) {
  error = QStringLiteral("car files are not supported yet");
  return false;
}
}  // namespace

const TFileKind& CarKind() {
  static const TFileKind kind{"CarFile", "car", &NotYet, &NotYetBuild};
  return kind;
}

int CmdRenderCar(const QStringList&) { return Fail(QStringLiteral("render-car is not supported yet")); }

}  // namespace k2::cli
