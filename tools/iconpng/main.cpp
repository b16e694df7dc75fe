// kurvino2-iconpng: renders an SVG icon into the freedesktop icon theme's PNG sizes at
// build time.  Needs no display: QtSvg draws into an image.
//
//   kurvino2-iconpng <icon.svg> <theme-folder> <size>...
//
// writes <theme-folder>/<N>x<N>/apps/<icon>.png for every size N, a square picture
// with a transparent background.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

namespace {

// Icon sizes the tool accepts, pixels.
constexpr int MinSize = 8;
constexpr int MaxSize = 1024;

int Fail(const QString& message) {
  std::fprintf(stderr, "kurvino2-iconpng: %s\n", qPrintable(message));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4)
    return Fail(QStringLiteral("usage: kurvino2-iconpng <icon.svg> <theme-folder> <size>..."));
  const QString svg = QString::fromLocal8Bit(argv[1]);
  const QString theme = QString::fromLocal8Bit(argv[2]);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return Fail(svg + QStringLiteral(": not a valid SVG file"));
  const QString name = QFileInfo(svg).completeBaseName();

  for (int i = 3; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    if (!ok || size < MinSize || size > MaxSize)
      return Fail(QStringLiteral("%1: not an icon size").arg(QString::fromLocal8Bit(argv[i])));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      renderer.render(&painter, QRectF(0, 0, size, size));
    }
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(theme).arg(size);
    if (!QDir().mkpath(folder)) return Fail(folder + QStringLiteral(": cannot create the folder"));
    // Written whole or not at all, so a failed build leaves no truncated icon behind.
    QSaveFile file(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    if (!file.open(QIODevice::WriteOnly) ||
        !image.convertToFormat(QImage::Format_ARGB32).save(&file, "PNG") || !file.commit())
      return Fail(file.fileName() + QStringLiteral(": cannot write the picture"));
  }
  return 0;
}
