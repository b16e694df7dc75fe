// kurvino2-cli: the engine and the file formats without a window.
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "cli/CliCommands.h"
#include "cli/CliJson.h"

namespace k2::cli {

namespace {

const char Usage[] =
    "Usage: kurvino2-cli [--settings FILE] COMMAND [ARGS]\n"
    "\n"
    "Runs the Kurvino2 engine and reads and writes its files without a window.\n"
    "\n"
    "Commands:\n"
    "  dump FILE                 print a track (.kpf), car (.kcf) or record (.krf) file\n"
    "                            as one JSON document; the kind is told by the file's tag\n"
    "  build IN.json OUT         write the file described by a JSON document (a dump, or\n"
    "                            the design form of a track or car)\n"
    "  render-track TRACK.kpf OUT.png [--view design|overview] [--size N] [--span MM]\n"
    "                            [--center X,Y]\n"
    "                            draw a track as the track page shows it\n"
    "  render-car CAR.kcf OUT.png [--size 300] [--span 1500]\n"
    "                            draw a car as the car page shows it\n"
    "  run --track T.kpf --car C.kcf --judge J.so [--step MS] [--steps N] [--out R.krf]\n"
    "      [--json] [--judge-timeout MS] [--no-sandbox] [--laps N] [--stop-off-track]\n"
    "                            simulate a run without views; --no-sandbox runs a\n"
    "                            trusted module without the sandbox; --laps ends the run\n"
    "                            after N completed laps, --stop-off-track at the first\n"
    "                            step off the track (within --steps either way)\n"
    "  render-frame R.krf INDEX OUT.png\n"
    "                            draw the main view of one recorded step\n"
    "  export-csv R.krf OUT.csv  write every recorded step as a row of a CSV file\n"
    "                            (step, time_s, the recorded fields, the readings,\n"
    "                            progress and laps)\n"
    "  laps R.krf [--json]       the laps of a recorded run: a table of lap times, or\n"
    "                            the lap keys of run --json\n"
    "  race --track T.kpf --car C.kcf --judge A.so --judge B.so ... [--time S] [--laps N]\n"
    "      [--jobs J] [--json|--csv]\n"
    "                            run every module on the same track and car (each in a\n"
    "                            process of its own, J at a time; S simulated seconds,\n"
    "                            120 unless given) and rank them by best valid lap, laps\n"
    "                            completed and fewest off-track steps\n"
    "\n"
    "Options:\n"
    "  --settings FILE           read defaults and rules from FILE instead of the\n"
    "                            program folder's Kurvino2.ini\n"
    "  --help                    show this text\n"
    "  --version                 show the version\n"
    "\n"
    "Exit codes: 0 success, 2 bad input, 3 a failed Judge call.\n";

const TFileKind* KindByMagic(const QByteArray& bytes) {
  for (const TFileKind* k : {&TrackKind(), &CarKind(), &RecordKind()}) {
    TStreamReader r(bytes);
    const int32_t n = r.ReadInt32();
    if (!r.Failed() && n == static_cast<int32_t>(std::strlen(k->Magic)) &&
        r.ReadBytes(n) == QByteArray(k->Magic))
      return k;
  }
  return nullptr;
}

int CmdDump(const QStringList& args) {
  if (args.size() != 1) return Fail(QStringLiteral("dump takes one FILE (see --help)"));
  const QString& path = args[0];
  QByteArray bytes;
  if (!ReadWholeFile(path, bytes)) return Fail(path + QStringLiteral(": cannot read the file"));
  const TFileKind* kind = KindByMagic(bytes);
  if (!kind) return Fail(path + QStringLiteral(": not a track, car or record file"));
  TJsonWriter w;
  QString error;
  if (!kind->Dump(bytes, w, error)) return Fail(path + QStringLiteral(": ") + error);
  std::fwrite(w.Text().data(), 1, w.Text().size(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 ? ExitOk : ExitBadInput;
}

int CmdBuild(const QStringList& args) {
  if (args.size() != 2) return Fail(QStringLiteral("build takes IN.json and OUT (see --help)"));
  const QString& in = args[0];
  const QString& out = args[1];
  QByteArray text;
  if (!ReadWholeFile(in, text)) return Fail(in + QStringLiteral(": cannot read the file"));
  TJsonValue doc;
  QString error;
  if (!ParseJson(text.toStdString(), doc, error)) return Fail(in + QStringLiteral(": ") + error);
  const TJsonValue* type = doc.IsObject() ? doc.Find("type") : nullptr;
  if (!type || type->Type != TJsonValue::TType::String)
    return Fail(in + QStringLiteral(": the document needs a \"type\""));
  for (const TFileKind* k : {&TrackKind(), &CarKind(), &RecordKind()}) {
    if (type->Text != k->Type) continue;
    QByteArray bytes;
    if (!k->Build(doc, bytes, error)) return Fail(in + QStringLiteral(": ") + error);
    if (!SaveFileAtomic(out, bytes))
      return Fail(out + QStringLiteral(": cannot write the file: ") + LastSaveError());
    return ExitOk;
  }
  return Fail(in + QStringLiteral(": unknown type \"%1\"").arg(QString::fromStdString(type->Text)));
}

}  // namespace

int Fail(const QString& message, int code) {
  std::fprintf(stderr, "kurvino2-cli: %s\n", message.toUtf8().constData());
  return code;
}

int WritePng(const QImage& image, const QString& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG"))
    return Fail(path + QStringLiteral(": cannot encode the picture"));
  if (!SaveFileAtomic(path, png))
    return Fail(path + QStringLiteral(": cannot write the file: ") + LastSaveError());
  return ExitOk;
}

}  // namespace k2::cli

namespace {

// Qt warns on stderr when XDG_RUNTIME_DIR is unset (a plain ssh or CI shell); give it a
// private folder instead, so that stderr carries only the tool's own messages.
void EnsureRuntimeDir() {
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
  const QByteArray dir = QByteArray("/tmp/kurvino2-runtime-") + QByteArray::number(getuid());
  if (mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) return;
  struct stat st;
  if (stat(dir.constData(), &st) == 0 && st.st_uid == getuid() && (st.st_mode & 077) == 0)
    qputenv("XDG_RUNTIME_DIR", dir);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace k2::cli;
  // Rendering needs a GUI application for fonts, never a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  EnsureRuntimeDir();
  QGuiApplication app(argc, argv);
  k2::InitProgramDirFromApplication();
  k2::SetSettingsReadOnce(true);

  QStringList args = QGuiApplication::arguments();
  args.removeFirst();
  QString settings = k2::DataDir() + QStringLiteral("Kurvino2.ini");
  while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
    const QString opt = args.takeFirst();
    if (opt == QLatin1String("--help")) {
      std::fputs(Usage, stdout);
      return ExitOk;
    }
    if (opt == QLatin1String("--version")) {
      std::puts("kurvino2-cli 2.0.0");
      std::printf("data folder: %s\n",
                  QDir::toNativeSeparators(k2::DataDir()).toUtf8().constData());

      return ExitOk;
    }
    if (opt == QLatin1String("--settings")) {
      if (args.isEmpty()) return Fail(QStringLiteral("--settings needs a FILE (see --help)"));
      settings = args.takeFirst();
      continue;
    }
    return Fail(QStringLiteral("unknown option %1 (see --help)").arg(opt));
  }
  // The CLI acts as the pages do after making the program folder current: new
  // objects and the rules read the same settings file.
  k2::SetMainSettingsPath(settings);
  k2::SetModelSettingsPath(settings);

  if (args.isEmpty()) {
    std::fputs(Usage, stderr);
    return ExitBadInput;
  }
  const QString command = args.takeFirst();
  if (command == QLatin1String("dump")) return CmdDump(args);
  if (command == QLatin1String("build")) return CmdBuild(args);
  if (command == QLatin1String("render-track")) return CmdRenderTrack(args);
  if (command == QLatin1String("render-car")) return CmdRenderCar(args);
  if (command == QLatin1String("run")) return CmdRun(args);
  if (command == QLatin1String("render-frame")) return CmdRenderFrame(args);
  if (command == QLatin1String("export-csv")) return CmdExportCsv(args);
  if (command == QLatin1String("laps")) return CmdLaps(args);
  if (command == QLatin1String("race")) return CmdRace(args);
  return Fail(QStringLiteral("unknown command %1 (see --help)").arg(command));
}
