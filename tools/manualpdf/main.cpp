// kurvino2-manualpdf: builds the user manual's PDF and HTML from its Markdown text at
// build time.  Runs without a display.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHashFunctions>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "ManualBuilder.h"

namespace {

const char Usage[] =
    "Usage: kurvino2-manualpdf --markdown IN.md --images DIR --pdf OUT.pdf --html-dir DIR\n"
    "       [--title TEXT] [--subtitle TEXT] [--cover-image NAME]\n"
    "\n"
    "Writes the manual IN.md as an A4 PDF with a table of contents and page numbers, and\n"
    "as DIR/index.html with its pictures beside it.  Pictures are read from --images.\n"
    "The PDF's creation date is SOURCE_DATE_EPOCH when set, else the time IN.md was\n"
    "last changed, so that the same input gives the same bytes.\n";

int Fail(const QString& message) {
  std::fprintf(stderr, "kurvino2-manualpdf: %s\n", message.toUtf8().constData());
  return 2;
}

QDateTime CreationDate(const QString& markdown) {
  bool ok = false;
  const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
  if (ok) return QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC);
  return QFileInfo(markdown).lastModified().toUTC();
}

// Qt warns on stderr when XDG_RUNTIME_DIR is unset (a build machine's shell); a
// private folder keeps the build's output to the tool's own messages.
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
  // Qt orders the glyphs of the embedded font subsets through hash tables: a fixed
  // seed gives the same PDF on every run.
  QHashSeed::setDeterministicGlobalSeed();
  // Fonts need a GUI application, never a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  EnsureRuntimeDir();
  QGuiApplication app(argc, argv);

  QStringList args = QGuiApplication::arguments();
  args.removeFirst();
  QString markdown, images, pdf, htmlDir;
  k2::manual::TManualOptions options;
  while (!args.isEmpty()) {
    const QString opt = args.takeFirst();
    if (opt == QLatin1String("--help")) {
      std::fputs(Usage, stdout);
      return 0;
    }
    QString* target = opt == QLatin1String("--markdown")      ? &markdown
                      : opt == QLatin1String("--images")      ? &images
                      : opt == QLatin1String("--pdf")         ? &pdf
                      : opt == QLatin1String("--html-dir")    ? &htmlDir
                      : opt == QLatin1String("--title")       ? &options.Title
                      : opt == QLatin1String("--subtitle")    ? &options.Subtitle
                      : opt == QLatin1String("--cover-image") ? &options.CoverImage
                                                              : nullptr;
    if (!target) return Fail(QStringLiteral("unknown option %1 (see --help)").arg(opt));
    if (args.isEmpty()) return Fail(QStringLiteral("%1 needs a value").arg(opt));
    *target = args.takeFirst();
  }
  if (markdown.isEmpty() || images.isEmpty() || pdf.isEmpty() || htmlDir.isEmpty())
    return Fail(
        QStringLiteral("--markdown, --images, --pdf and --html-dir are needed (see --help)"));
  if (options.Title.isEmpty()) options.Title = QFileInfo(markdown).completeBaseName();
  options.Date = CreationDate(markdown);

  // Without the font the text falls back to whatever the system has; the manual is
  // still written, but the build says so.
  const QStringList families = QFontDatabase::families();
  for (const QString& family : {options.FontFamily, options.MonoFamily})
    if (!families.contains(family))
      std::fprintf(stderr,
                   "kurvino2-manualpdf: warning: font \"%s\" is not installed (fonts-noto-cjk)\n",
                   family.toUtf8().constData());

  QFile in(markdown);
  if (!in.open(QIODevice::ReadOnly))
    return Fail(markdown + QStringLiteral(": ") + in.errorString());
  const QString text = QString::fromUtf8(in.readAll());
  k2::manual::TManual manual(options);
  QString error;
  if (!manual.Load(text, images, error)) return Fail(markdown + QStringLiteral(": ") + error);
  if (!manual.WritePdf(pdf, error) || !manual.WriteHtml(htmlDir, error)) return Fail(error);
  return 0;
}
