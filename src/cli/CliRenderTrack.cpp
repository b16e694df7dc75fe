// render-track: draws a track file as the track page shows it after opening it.
//
//   design   (default) the design view: 558 px spanning 3000 mm, centred on the
//            origin (or --center), with the axis glyph;
//   overview the overview: 140 px starting at 6000 mm and refitted to the track,
//            with the frame of the design view (558 px, 3000 mm, centred likewise).
//
// --size and --span change the drawn view only; --center moves the design view.
#include <QImage>
#include <QLocale>
#include <cmath>

#include "base/uStream.h"
#include "cli/CliCommands.h"
#include "track/uPath.h"

namespace k2::cli {

namespace {

constexpr int MaxSize = 8192;         // pixels per side
constexpr int MaxSpan = 100'000'000;  // mm

struct TRenderOptions {
  bool Overview = false;
  int Size = 0;  // 0: the view's default
  int Span = 0;
  bool Centred = false;
  TPointF Center;
};

bool ParseInt(const QString& text, int min, int max, int& out) {
  bool ok = false;
  const qlonglong v = text.toLongLong(&ok);
  if (!ok || v < min || v > max) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseCenter(const QString& text, TPointF& out) {
  const QStringList parts = text.split(QLatin1Char(','));
  if (parts.size() != 2) return false;
  bool okX = false, okY = false;
  const double x = QLocale::c().toDouble(parts[0].trimmed(), &okX);
  const double y = QLocale::c().toDouble(parts[1].trimmed(), &okY);
  if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9 ||
      std::fabs(y) > 1e9)
    return false;
  out = MakePointF(static_cast<float>(x), static_cast<float>(y));
  return true;
}

// Reads the options after the two file names; false with a message on bad input.
bool ParseOptions(const QStringList& args, TRenderOptions& o, QString& error) {
  for (int i = 2; i < args.size(); ++i) {
    const QString& opt = args[i];
    if (i + 1 >= args.size()) {
      error = opt + QStringLiteral(" needs a value (see --help)");
      return false;
    }
    const QString value = args[++i];
    if (opt == QLatin1String("--view")) {
      if (value != QLatin1String("design") && value != QLatin1String("overview")) {
        error = QStringLiteral("--view is design or overview");
        return false;
      }
      o.Overview = value == QLatin1String("overview");
    } else if (opt == QLatin1String("--size")) {
      if (!ParseInt(value, 1, MaxSize, o.Size)) {
        error = QStringLiteral("--size is a whole number of pixels from 1 to %1").arg(MaxSize);
        return false;
      }
    } else if (opt == QLatin1String("--span")) {
      if (!ParseInt(value, 1, MaxSpan, o.Span)) {
        error = QStringLiteral("--span is a whole number of mm from 1 to %1").arg(MaxSpan);
        return false;
      }
    } else if (opt == QLatin1String("--center")) {
      if (!ParseCenter(value, o.Center)) {
        error = QStringLiteral("--center is X,Y in mm");
        return false;
      }
      o.Centred = true;
    } else {
      error = QStringLiteral("unknown option %1 (see --help)").arg(opt);
      return false;
    }
  }
  return true;
}

void Render(TPath& track, const TRenderOptions& o) {
  if (o.Centred) track.DrawTransform->SetOffset(MakePointF(-o.Center.X, -o.Center.Y));
  if (o.Overview) {
    track.FitOverview();
    track.DrawOverview(true);
  } else {
    track.DrawDesignView(true);
  }
}

}  // namespace

int CmdRenderTrack(const QStringList& args) {
  if (args.size() < 2)
    return Fail(QStringLiteral("render-track takes TRACK.kpf and OUT.png (see --help)"));
  const QString& in = args[0];
  const QString& out = args[1];
  TRenderOptions o;
  QString error;
  if (!ParseOptions(args, o, error)) return Fail(QStringLiteral("render-track: ") + error);

  const int size = o.Size ? o.Size : (o.Overview ? DefaultOverviewSize : DefaultDesignViewSize);
  const int span = o.Span ? o.Span : (o.Overview ? 6000 : 3000);
  QImage raster(size, size, QImage::Format_ARGB32);
  raster.fill(o.Overview ? OverviewBackground : DesignBackground);
  // The view not drawn keeps the page's size and span (a null raster is never drawn).
  TPath track(o.Overview ? nullptr : &raster, o.Overview ? 3000 : span,
              o.Overview ? &raster : nullptr, o.Overview ? span : 6000);
  track.FileName = in;
  if (!track.LoadFromFile()) return Fail(in + QStringLiteral(": not a readable track file"));

  Render(track, o);
  return WritePng(raster, out);
}

}  // namespace k2::cli
