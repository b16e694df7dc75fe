#include "simulation/uSimuSampling.h"

#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "base/uAssert.h"
#include "car/uCar.h"
#include "car/uSensor.h"
#include "geometry/uConstants.h"
#include "simulation/uRecord.h"
#include "simulation/uRunView.h"
#include "track/uPath.h"
#include "track/uPathIndex.h"

namespace k2 {

namespace {

constexpr QRgb White = 0xFFFFFFFF;
// The work raster is at most this many pixels on a side (64 MiB); a larger sensed
// area is not a camera any car carries (16 m across at 4 mm per pixel).
constexpr int32_t MaxWorkSide = 4096;
// The picture is at most this many pixels (64 MiB); beyond it the rasters are not
// allocated and the car has no picture.
constexpr int64_t MaxFramePixels = 16'000'000;
// Pictures up to this size keep a table of their source pixels (4 bytes a pixel).
constexpr int64_t MaxLookupPixels = 4'000'000;

// The rounded mean of red, green and blue.  A third of a whole number is never
// exactly a half, so rounding halves to even is plain rounding: (sum + 1) / 3.
inline uint8_t GreyOf(QRgb c) {
  return static_cast<uint8_t>((((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255) + 1) / 3);
}

// Appends an element to `path` in the coordinates of `t`, starting a new figure when
// `newFigure` is set.
void AddElement(QPainterPath& path, const TPathElement& e, const TTransformRect& t,
                bool newFigure) {
  if (e.Kind == 1) {
    const auto& a = static_cast<const TArcData&>(e);
    const TPointF c = t.WorldToView(a.Center);
    const double r = t.ToViewLength(a.Radius);
    const QRectF box(c.X - r, c.Y - r, 2 * r, 2 * r);
    // Qt's angles run counter-clockwise on the screen, which is the world's sense.
    if (newFigure) path.arcMoveTo(box, a.StartAngle);
    path.arcTo(box, a.StartAngle, a.SweepAngle);
    return;
  }
  const TPointF p = t.WorldToView(e.StartPoint);
  const TPointF q = t.WorldToView(e.EndPoint);
  if (newFigure) path.moveTo(p.X, p.Y);
  path.lineTo(q.X, q.Y);
}

bool ElementVisible(const TPathElement& e, const TTransformRect& t, int32_t margin) {
  if (e.Kind == 1) {
    const auto& a = static_cast<const TArcData&>(e);
    return t.ArcVisible(a.Center, a.Radius, margin);
  }
  return t.LineVisible(e.StartPoint, e.EndPoint, margin);
}

}  // namespace

void FillRaster(QImage* img, QRgb colour) {
  if (img && !img->isNull()) img->fill(colour);
}

void DrawTrackViews(TPath& track, TPointF pos) {
  FillRaster(track.DrawImage, MainViewBackground);
  FillRaster(track.ViewImage, WhiteBackground);
  track.FitOverview();
  track.DrawOverview(false);
  track.MarkOverviewPoint(pos, 3);
  track.DrawDesignView(false);
}

void DrawSensorDisplay(QImage* display, const std::vector<TPointF>& dots,
                       const std::vector<uint8_t>& readings) {
  FillRaster(display, WhiteBackground);
  DrawSensorDots(display, dots, readings);
}

uint8_t GreyLevel(QRgb c) { return GreyOf(c); }

// ---- point sensors ----------------------------------------------------------

TRectF SensorBounds(const TCar& car) {
  TRectF b;
  if (car.LightSensors.empty()) return b;
  const auto& first = *car.LightSensors.front();
  b.Left = b.Right = static_cast<float>(first.SenseX);
  b.Top = b.Bottom = static_cast<float>(first.SenseY);
  for (size_t i = 1; i < car.LightSensors.size(); ++i) {
    const float x = static_cast<float>(car.LightSensors[i]->SenseX);
    const float y = static_cast<float>(car.LightSensors[i]->SenseY);
    if (x > b.Right)
      b.Right = x;
    else if (x < b.Left)
      b.Left = x;
    if (y > b.Top)
      b.Top = y;
    else if (y < b.Bottom)
      b.Bottom = y;
  }
  return b;
}

void LayoutSensorDots(const TCar& car, const TRectF& b, int32_t width, int32_t height,
                      std::vector<TPointF>& dots) {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const float cx = (b.Left + b.Right) / 2, cy = (b.Top + b.Bottom) / 2;
  // The small addend keeps a single row or column of sensors from dividing by zero.
  const float hx = (b.Right - b.Left) / 2 + 0.0001f, hy = (b.Top - b.Bottom) / 2 + 0.0001f;
  const float kx = (w - 20) / 2, ky = (h - 20) / 2;
  dots.resize(car.LightSensors.size());
  for (size_t i = 0; i < dots.size(); ++i) {
    const float x = static_cast<float>(car.LightSensors[i]->SenseX);
    const float y = static_cast<float>(car.LightSensors[i]->SenseY);
    dots[i].X = (x - cx) * kx / hx + (w / 2 - 5);
    dots[i].Y = (h / 2 - 5) - (y - cy) * ky / hy;
  }
}

void DrawSensorDots(QImage* display, const std::vector<TPointF>& dots,
                    const std::vector<uint8_t>& readings) {
  if (!display || display->isNull() || dots.empty()) return;
  QPainter p(display);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor::fromRgba(0xC8006400), 1.5));
  for (size_t i = 0; i < dots.size(); ++i) {
    const uint8_t r = i < readings.size() ? readings[i] : 0;
    p.setBrush(QColor::fromRgba((static_cast<QRgb>(255 - r) << 24) | 0x006400));
    p.drawEllipse(QRectF(dots[i].X, dots[i].Y, 10, 10));
  }
}

TPolar PolarOf(TPointF p) {
  const double x = p.X, y = p.Y;
  return TPolar{std::hypot(x, y), std::atan2(y, x)};
}

void SensorPolars(const TCar& car, std::vector<TPolar>& polars) {
  polars.resize(car.LightSensors.size());
  for (size_t i = 0; i < polars.size(); ++i)
    polars[i] = PolarOf(MakePointF(static_cast<float>(car.LightSensors[i]->SenseX),
                                   static_cast<float>(car.LightSensors[i]->SenseY)));
}

void PlaceSensorPoints(const std::vector<TPolar>& polars, TPointF pos, float heading,
                       std::vector<TPointF>& points) {
  points.resize(polars.size());
  const double h = heading * DegToRad;
  for (size_t i = 0; i < points.size(); ++i) {
    points[i].X = static_cast<float>(pos.X + polars[i].R * std::cos(h + polars[i].B));
    points[i].Y = static_cast<float>(pos.Y + polars[i].R * std::sin(h + polars[i].B));
  }
}

namespace {

// What one element does to one sensor's reading: 255 unless the element lies within
// the sensor's reach (half the line width for a discrete sensor, its radius for a
// continuous one).
int32_t ReadingAt(const TLightSensor& s, float halfLine, float d) {
  if (s.SensorType == 0) return halfLine >= d ? 0 : 255;
  if (d <= static_cast<float>(s.EffectiveR))
    // A zero radius reads 0 exactly on the line (0 / 0 would be undefined).
    return s.EffectiveR > 0 ? RoundHalfEven(255.0 * d / s.EffectiveR) : 0;
  return 255;
}

// The distance beyond which an element leaves the sensor's reading at 255.
double Reach(const TLightSensor& s, float halfLine) {
  return s.SensorType == 0 ? halfLine : static_cast<float>(s.EffectiveR);
}

}  // namespace

void ReadLightSensors(const TPath& track, const TCar& car, const std::vector<TPointF>& points,
                      std::vector<uint8_t>& readings) {
  const size_t n = std::min(points.size(), car.LightSensors.size());
  readings.assign(points.size(), 255);
  const float halfLine = track.LineWidth / 2.0f;
  for (const auto& e : track.Elements) {
    for (size_t i = 0; i < n; ++i) {
      const int32_t r = ReadingAt(*car.LightSensors[i], halfLine, ElementDistance(*e, points[i]));
      if (r < readings[i]) readings[i] = static_cast<uint8_t>(r);
    }
  }
}

void ReadLightSensors(const TPath& track, const TPathIndex& index, const TCar& car,
                      const std::vector<TPointF>& points, std::vector<uint8_t>& readings,
                      std::vector<int32_t>& scratch) {
  K2_ASSERT(index.Count() == static_cast<int32_t>(track.Elements.size()));
  const size_t n = std::min(points.size(), car.LightSensors.size());
  readings.assign(points.size(), 255);
  const float halfLine = track.LineWidth / 2.0f;
  for (size_t i = 0; i < n; ++i) {
    const TLightSensor& s = *car.LightSensors[i];
    // Elements beyond the reach read 255 and cannot lower the reading.
    index.Near(points[i], Reach(s, halfLine), scratch);
    for (int32_t e : scratch) {
      const int32_t r = ReadingAt(
          s, halfLine, ElementDistance(*track.Elements[static_cast<size_t>(e)], points[i]));
      if (r < readings[i]) readings[i] = static_cast<uint8_t>(r);
    }
  }
}

float NearestDistance(const TPath& track, TPointF p) {
  float best = ElementDistance(*track.Elements.front(), p);
  for (size_t i = 1; i < track.Elements.size(); ++i) {
    const float d = ElementDistance(*track.Elements[i], p);
    if (d < best) best = d;
  }
  return best;
}

float NearestDistance(const TPath& track, const TPathIndex& index, TPointF p,
                      std::vector<int32_t>& scratch) {
  K2_ASSERT(!track.Elements.empty() &&
            index.Count() == static_cast<int32_t>(track.Elements.size()));
  float best = ElementDistance(*track.Elements.front(), p);
  if (std::isnan(best)) return best;  // nothing compares below it
  // Look near p first and further only while nothing near is closer than the search
  // reaches: every element left out then has a lower bound above the best distance.
  double reach = std::max(static_cast<double>(track.PathWidth), 100.0);
  for (;;) {
    index.Near(p, std::min<double>(reach, best), scratch);
    for (int32_t e : scratch) {
      if (e == 0) continue;
      const float d = ElementDistance(*track.Elements[static_cast<size_t>(e)], p);
      if (d < best) best = d;
    }
    if (best <= reach) return best;
    reach = reach < 1e30 ? reach * 4 : std::numeric_limits<double>::infinity();
  }
}

// ---- CCD --------------------------------------------------------------------

TCcdCamera::~TCcdCamera() {
  if (WorkPainter.isActive()) WorkPainter.end();
}

bool TCcdCamera::Setup(const TCCDSensor& sensor, const QImage* display) {
  const TRectF& rect = sensor.SenseRect;
  const float w = rect.Right - rect.Left;
  const float h = rect.Top - rect.Bottom;
  const double diag = std::ceil(std::hypot(static_cast<double>(w), static_cast<double>(h)));
  if (!std::isfinite(diag) || diag / 4 > MaxWorkSide) return false;
  const int32_t a = static_cast<int32_t>(diag);
  Side = std::max<int32_t>(1, static_cast<int32_t>(std::ceil(a / 4.0)));
  const int64_t pixels = static_cast<int64_t>(sensor.PixelWidth) * sensor.PixelHeight;
  if (sensor.PixelWidth <= 0 || sensor.PixelHeight <= 0 || pixels > MaxFramePixels) return false;

  try {
    CcdView = std::make_unique<TTransformRect>(Side, Side, 4.0f);
    // Premultiplied, although only opaque colours are ever drawn into it (so the bytes
    // are those of plain ARGB32): Qt fills plain ARGB32 spans through its thread pool
    // once a fill has 96 spans, and this format's opaque fills stay in this thread.
    CcdWork = QImage(Side, Side, QImage::Format_ARGB32_Premultiplied);
    CcdFrame = QImage(sensor.PixelWidth, sensor.PixelHeight, QImage::Format_ARGB32);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (CcdWork.isNull() || CcdFrame.isNull()) return false;
  CcdWork.fill(White);
  CcdFrame.fill(White);

  // The sensed rectangle at 4 mm per pixel, centred in the work raster, onto ImageQuad.
  Source = QRectF(QPointF((a - w) / 8.0, (a - h) / 8.0), QPointF((a + w) / 8.0, (a + h) / 8.0));
  const float* q = sensor.ImageQuad.data();
  const QPolygonF src(
      {Source.topLeft(), Source.topRight(), Source.bottomRight(), Source.bottomLeft()});
  const QPolygonF dst(
      {QPointF(q[0], q[4]), QPointF(q[1], q[5]), QPointF(q[2], q[6]), QPointF(q[3], q[7])});
  QTransform workToFrame;
  bool invertible = false;
  Projective = sensor.HasProjection() && QTransform::quadToQuad(src, dst, workToFrame);
  if (Projective) FrameToWork = workToFrame.inverted(&invertible);
  Projective = Projective && invertible;
  BuildLookup();

  const int32_t dw = display && !display->isNull() ? display->width() : RunCcdSize.Width;
  const int32_t dh = display && !display->isNull() ? display->height() : RunCcdSize.Height;
  // Both factors divide by the picture's width: the square display keeps proportions.
  ScaleX = static_cast<double>(dw) / sensor.PixelWidth;
  ScaleY = static_cast<double>(dh) / sensor.PixelWidth;
  CcdCentre = PolarOf(MakePointF((rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2));
  if (!WorkPainter.begin(&CcdWork)) return false;
  WorkPainter.setRenderHint(QPainter::Antialiasing, false);
  return true;
}

void TCcdCamera::Render(const TPath& track, const TPathIndex* index, TPointF pos, float heading) {
  if (!Projective) return;  // the picture stays white
  WorkPainter.resetTransform();
  WorkPainter.fillRect(0, 0, Side, Side, QColor::fromRgba(White));
  QPen pen(QColor::fromRgba(0xFF000000));
  pen.setWidthF(track.LineWidth * 0.5);
  WorkPainter.setPen(pen);
  WorkPainter.setBrush(Qt::NoBrush);
  const double half = Side / 2.0;
  WorkPainter.translate(half, half);
  WorkPainter.rotate(heading);  // clockwise on the raster: the car's forward points up
  WorkPainter.translate(-half, -half);

  const double r = CcdCentre.R, b = CcdCentre.B;
  const double hr = heading * DegToRad;
  const TPointF c = MakePointF(static_cast<float>(pos.X + r * std::cos(hr + b)),
                               static_cast<float>(pos.Y + r * std::sin(hr + b)));
  CcdView->SetOffset(MakePointF(-c.X, -c.Y));

  Figures.clear();
  constexpr int32_t Margin = 1;  // mm, as the design view's visibility test takes it
  if (index) {
    index->InRect(CcdView->VisibleRect, 0.6 * Margin, Visible);
  } else {
    Visible.resize(track.Elements.size());
    for (size_t i = 0; i < Visible.size(); ++i) Visible[i] = static_cast<int32_t>(i);
  }
  int32_t last = -2;
  for (int32_t i : Visible) {
    const TPathElement& e = *track.Elements[static_cast<size_t>(i)];
    if (!ElementVisible(e, *CcdView, Margin)) continue;
    AddElement(Figures, e, *CcdView, last != i - 1);
    last = i;
  }

  if (!Figures.isEmpty()) WorkPainter.drawPath(Figures);

  Warp();
}

int32_t TCcdCamera::SourceIndex(int32_t x, int32_t y) const {
  const QTransform& m = FrameToWork;
  const double px = x + 0.5, py = y + 0.5;
  const double wx = m.m11() * px + m.m21() * py + m.m31();
  const double wy = m.m12() * px + m.m22() * py + m.m32();
  const double ww = m.m13() * px + m.m23() * py + m.m33();
  if (ww == 0) return -1;
  const double sx = std::floor(wx / ww), sy = std::floor(wy / ww);
  if (!(sx >= 0 && sy >= 0 && sx < Side && sy < Side)) return -1;
  return static_cast<int32_t>(sy) * Side + static_cast<int32_t>(sx);
}

void TCcdCamera::BuildLookup() {
  Lookup.clear();
  const int64_t pixels = static_cast<int64_t>(CcdFrame.width()) * CcdFrame.height();
  if (!Projective || pixels > MaxLookupPixels) return;
  Lookup.resize(static_cast<size_t>(pixels));
  size_t i = 0;
  for (int32_t y = 0; y < CcdFrame.height(); ++y)
    for (int32_t x = 0; x < CcdFrame.width(); ++x) Lookup[i++] = SourceIndex(x, y);
}

void TCcdCamera::Warp() {
  // Nearest neighbour: each picture pixel takes the work pixel its centre maps to.
  // Both rasters are unpadded 32-bit, so a work index is a pixel offset.
  const QRgb* work = reinterpret_cast<const QRgb*>(CcdWork.constBits());
  QRgb* out = reinterpret_cast<QRgb*>(CcdFrame.bits());
  if (!Lookup.empty()) {
    for (size_t i = 0; i < Lookup.size(); ++i) out[i] = Lookup[i] < 0 ? White : work[Lookup[i]];
    return;
  }
  for (int32_t y = 0; y < CcdFrame.height(); ++y)
    for (int32_t x = 0; x < CcdFrame.width(); ++x) {
      const int32_t k = SourceIndex(x, y);
      *out++ = k < 0 ? White : work[k];
    }
}

void TCcdCamera::Grey(uint8_t* out) const {
  const int32_t fw = CcdFrame.width(), fh = CcdFrame.height();
  for (int32_t y = 0; y < fh; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(CcdFrame.constScanLine(y));
    for (int32_t x = 0; x < fw; ++x) *out++ = GreyOf(row[x]);
  }
}

void TCcdCamera::DrawTo(QImage* display) const {
  if (!display || display->isNull() || CcdFrame.isNull()) return;
  QPainter p(display);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(QRectF(0, 0, CcdFrame.width() * ScaleX, CcdFrame.height() * ScaleY), CcdFrame);
}

}  // namespace k2
