// dump and build of record files.
#include "cli/CliCommands.h"

namespace k2::cli {

namespace {
bool NotYet(const QByteArray&, TJsonWriter&, QString& error) {
  error = QStringLiteral("record files are not supported yet");
  return false;
}
bool NotYetBuild(const TJsonValue&, QByteArray&, QString& error) {
  error = QStringLiteral("record files are not supported yet");
  return false;
}
}  // namespace

const TFileKind& RecordKind() {
  static const TFileKind kind{"RecordFile", "record", &NotYet, &NotYetBuild};
  return kind;
}

}  // namespace k2::cli
