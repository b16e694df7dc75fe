// Track rendering into the design view and the overview.
//
// Both views are 32-bit rasters owned by the track's creator; a null raster is
// skipped.  Strokes use real pixel coordinates and widths (WorldToView is not
// rounded); only the two exclusive-or overlays work on whole pixels, and they XOR the
// pixel words directly so that a second identical call restores every bit.
//
// View coordinates name pixel centres: view point (x, y) is the centre of pixel
// (x, y), as for the overlays, the mouse and ViewToWorld.  Qt puts pixel centres at
// half-integers, so every painter is shifted by half a pixel.
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

#include "track/uPath.h"

namespace k2 {

namespace {

constexpr QRgb CentreLineColour = 0xFF000000;
constexpr QRgb SurfaceColour = 0xFFFFFFFF;
constexpr QRgb AxisColour = 0xFFFF0000;
// Exclusive-or masks of the overlays, on the RGB bits only (alpha stays opaque).
constexpr QRgb FrameXorMask = 0x00FFFF00;   // RGB (255, 255, 0)
constexpr QRgb InvertXorMask = 0x00FFFFFF;  // white: inverts the pixel

bool Drawable(const QImage* img) { return img && !img->isNull(); }

void PrepareTrackPainter(QPainter& p) {
  p.translate(0.5, 0.5);
  p.setRenderHint(QPainter::Antialiasing, true);
}

QPointF ToQt(TPointF p) { return QPointF(p.X, p.Y); }

// The square of the circle an arc lies on, in view pixels.
QRectF ArcBox(const TTransformRect& t, const TArcData& arc) {
  const TPointF c = t.WorldToView(arc.Center);
  const double r = t.ToViewLength(arc.Radius);
  return QRectF(c.X - r, c.Y - r, 2 * r, 2 * r);
}

// Qt measures arc angles counter-clockwise as seen on the screen, which is the
// world's direction (the view flips y), so StartAngle and SweepAngle are passed
// unchanged; this is the same arc as starting at the clockwise screen angle
// -StartAngle and sweeping -SweepAngle.
//
// Qt approximates arcs by cubic curves, one per quarter circle, which strays by up
// to 0.03 % of the radius; pieces of at most 30 degrees keep even a large arc within
// a small fraction of a pixel of its circle.
constexpr double ArcPieceDegrees = 30;

// False, appending nothing, for an arc that cannot be drawn (a non-finite centre,
// radius or angle, as a crafted file may hold).
bool AppendArc(QPainterPath& path, const TTransformRect& t, const TArcData& arc, bool newFigure) {
  const QRectF box = ArcBox(t, arc);
  if (!std::isfinite(box.x()) || !std::isfinite(box.y()) || !std::isfinite(box.width()) ||
      !std::isfinite(box.height()) || !std::isfinite(arc.StartAngle) ||
      !std::isfinite(arc.SweepAngle))
    return false;
  // Beyond two turns, more turns draw the same pixels: keep one full turn and the
  // remainder, which ends where the whole sweep ends, so that the cost stays bounded.
  double sweep = arc.SweepAngle;
  if (std::fabs(sweep) > 720)
    sweep = std::copysign(360 + std::fmod(std::fabs(sweep), 360.0), sweep);
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / ArcPieceDegrees)));
  const double step = sweep / pieces;
  for (int i = 0; i < pieces; ++i) {
    const double start = arc.StartAngle + i * step;
    if ((i == 0 && newFigure) || path.elementCount() == 0) {
      path.arcMoveTo(box, start);
    } else {
      // Each piece's own start differs from the previous end by rounding only.  Move
      // that end onto it, so that no tiny connecting segment (with an arbitrary
      // direction, hence a wild mitre) is inserted.
      QPainterPath probe;
      probe.arcMoveTo(box, start);
      const QPointF p = probe.currentPosition();
      path.setElementPositionAt(path.elementCount() - 1, p.x(), p.y());
    }
    path.arcTo(box, start, step);
  }
  return true;
}

void AppendLine(QPainterPath& path, const TTransformRect& t, const TPathElement& line,
                bool newFigure) {
  if (newFigure) path.moveTo(ToQt(t.WorldToView(line.StartPoint)));
  path.lineTo(ToQt(t.WorldToView(line.EndPoint)));
}

// Qt's stroker joins a subpath whose last point meets its first one as if it were
// closed.  Figures stay open (a track closed at the origin shows two flat ends
// there), so such a last point is moved back along its segment by a thousandth of a
// pixel, which no pixel shows but which keeps the ends apart.
void KeepFiguresOpen(QPainterPath& path) {
  const int n = path.elementCount();
  int first = 0;
  for (int i = 1; i <= n; ++i) {
    if (i < n && !path.elementAt(i).isMoveTo()) continue;
    const int last = i - 1;
    if (last > first) {
      const QPointF a = path.elementAt(first), b = path.elementAt(last);
      if (qFuzzyCompare(a.x(), b.x()) && qFuzzyCompare(a.y(), b.y())) {
        QPointF back = QPointF(path.elementAt(last - 1)) - b;
        const double len = std::hypot(back.x(), back.y());
        back = len > 0 ? back / len : QPointF(1, 0);
        const QPointF moved = b + back * 1e-3;
        path.setElementPositionAt(last, moved.x(), moved.y());
      }
    }
    first = i;
  }
}

QPen TrackPen(QRgb colour, double width) {
  // Width 0 is Qt's one-pixel cosmetic pen, as thin as a stroke can be.
  QPen pen(QColor::fromRgba(colour), std::max(0.0, width), Qt::SolidLine, Qt::FlatCap,
           Qt::MiterJoin);
  pen.setMiterLimit(10);  // Qt's MiterJoin clips the corner beyond the limit
  return pen;
}

// XORs one pixel when it lies on the raster.
void XorPixel(QImage& img, int x, int y, QRgb mask) {
  if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return;
  if (img.depth() == 32) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    line[x] ^= mask;
  } else {
    img.setPixel(x, y, img.pixel(x, y) ^ mask);
  }
}

// XORs the pixels of one axis-parallel segment from a towards b, b itself left out.
void XorSegment(QImage& img, QPoint a, QPoint b, QRgb mask) {
  const int dx = (b.x() > a.x()) - (b.x() < a.x());
  const int dy = (b.y() > a.y()) - (b.y() < a.y());
  for (QPoint p = a; p != b; p += QPoint(dx, dy)) XorPixel(img, p.x(), p.y(), mask);
}

}  // namespace

void TPath::DrawDesignView(bool withAxes) {
  if (!Drawable(DrawImage)) return;
  DrawImage->fill(DesignBackground);
  const TTransformRect& t = *DrawTransform;

  // Visible elements only; an element continues the current figure when the one
  // before it was drawn too, otherwise it starts a new one.  Figures stay open.
  QPainterPath figures;
  bool previousDrawn = false;
  for (const auto& e : Elements) {
    bool visible;
    if (e->Kind == 1) {
      const auto& arc = static_cast<const TArcData&>(*e);
      visible = t.ArcVisible(arc.Center, arc.Radius, PathWidth);
      visible = visible && AppendArc(figures, t, arc, !previousDrawn);

    } else {
      visible = t.LineVisible(e->StartPoint, e->EndPoint, PathWidth);
      if (visible) AppendLine(figures, t, *e, !previousDrawn);
    }
    previousDrawn = visible;
  }

  KeepFiguresOpen(figures);
  if (!figures.isEmpty()) {
    QPainter p(DrawImage);
    PrepareTrackPainter(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(TrackPen(SurfaceColour, t.ToViewLength(static_cast<float>(PathWidth))));
    p.drawPath(figures);
    p.setPen(TrackPen(CentreLineColour, t.ToViewLength(static_cast<float>(LineWidth))));
    p.drawPath(figures);
  }
  if (withAxes) DrawAxes();
}

void TPath::DrawAxes() {
  if (!Drawable(DrawImage)) return;
  const QPointF origin(15, DrawTransform->ViewHeight - 15);
  const QPointF xEnd = origin + QPointF(50, 0);
  const QPointF yEnd = origin + QPointF(0, -50);
  constexpr double PenWidth = 3;
  constexpr double HeadLength = 9;  // arrowhead, pixels along the axis
  constexpr double HeadHalfWidth = 4.5;

  QPainter p(DrawImage);
  PrepareTrackPainter(p);
  const QColor red = QColor::fromRgba(AxisColour);
  // Square start: the shaft begins half a pen width before the origin; it ends under
  // the arrowhead, whose tip is the axis end.
  p.setPen(QPen(red, PenWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.drawLine(origin + QPointF(-PenWidth / 2, 0), xEnd - QPointF(HeadLength - 1, 0));
  p.drawLine(origin + QPointF(0, PenWidth / 2), yEnd + QPointF(0, HeadLength - 1));
  p.setPen(Qt::NoPen);
  p.setBrush(red);
  p.drawPolygon(QPolygonF({xEnd, xEnd + QPointF(-HeadLength, -HeadHalfWidth),
                           xEnd + QPointF(-HeadLength, HeadHalfWidth)}));
  p.drawPolygon(QPolygonF({yEnd, yEnd + QPointF(-HeadHalfWidth, HeadLength),
                           yEnd + QPointF(HeadHalfWidth, HeadLength)}));

  QFont font(QStringLiteral("Times New Roman"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(red);
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
  p.drawText(QRectF(xEnd.x() + 2, xEnd.y() - 8, 0, 0), flags, QStringLiteral("X"));
  p.drawText(QRectF(yEnd.x() - 6, yEnd.y() - 17, 0, 0), flags, QStringLiteral("Y"));
}

void TPath::DrawOverview(bool withFrame) {
  if (!Drawable(ViewImage)) return;
  ViewImage->fill(OverviewBackground);
  const TTransformRect& t = *ViewTransform;
  {
    QPainter p(ViewImage);
    PrepareTrackPainter(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(
        QPen(QColor::fromRgba(CentreLineColour), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    // Every element on its own, visible in the design view or not.
    for (const auto& e : Elements) {
      QPainterPath path;
      if (e->Kind == 1)
        AppendArc(path, t, static_cast<const TArcData&>(*e), true);
      else
        AppendLine(path, t, *e, true);
      p.drawPath(path);
    }
  }
  if (withFrame) DrawOverviewFrame();
}

void TPath::DrawOverviewFrame() {
  if (!Drawable(ViewImage)) return;
  const TRectF& v = DrawTransform->VisibleRect;
  const TPoint a = RoundPoint(ViewTransform->WorldToView(MakePointF(v.Left, v.Top)));
  const TPoint b = RoundPoint(ViewTransform->WorldToView(MakePointF(v.Right, v.Bottom)));
  // The closed outline A, (B.X, A.Y), B, (A.X, B.Y), A; each segment leaves out its
  // last pixel, so every outline pixel is combined exactly once.
  const QPoint corners[5] = {{a.X, a.Y}, {b.X, a.Y}, {b.X, b.Y}, {a.X, b.Y}, {a.X, a.Y}};
  for (int i = 0; i < 4; ++i) XorSegment(*ViewImage, corners[i], corners[i + 1], FrameXorMask);
}

void TPath::MarkOverviewPoint(TPointF p, int32_t r) {
  if (!Drawable(ViewImage) || r <= 0) return;
  const TPoint q = RoundPoint(ViewTransform->WorldToView(p));
  // The ellipse of the box (q.X - r, q.Y - r + 1) .. (q.X + r, q.Y + r + 1), right and
  // bottom edges excluded: 2r x 2r pixels.  A pixel belongs to it when its centre lies
  // inside the ellipse; it is on the outline when one of its four neighbours does not.
  const int left = q.X - r, top = q.Y - r + 1, size = 2 * r;
  const double centre = r;  // of the box, in box coordinates
  auto inside = [&](int i, int j) {
    if (i < 0 || j < 0 || i >= size || j >= size) return false;
    const double dx = (i + 0.5 - centre) / r, dy = (j + 0.5 - centre) / r;
    return dx * dx + dy * dy <= 1.0;
  };
  for (int j = 0; j < size; ++j) {
    for (int i = 0; i < size; ++i) {
      if (!inside(i, j)) continue;
      const bool outline =
          !inside(i - 1, j) || !inside(i + 1, j) || !inside(i, j - 1) || !inside(i, j + 1);
      XorPixel(*ViewImage, left + i, top + j, outline ? FrameXorMask : InvertXorMask);
    }
  }
}

}  // namespace k2
