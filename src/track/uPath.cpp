#include "track/uPath.h"

#include <algorithm>
#include <cmath>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"

namespace k2 {

namespace {

constexpr char PathTag[] = "PathFile";

int32_t WidthOf(const QImage* img, int32_t fallback) {
  return img && !img->isNull() ? img->width() : fallback;
}
int32_t HeightOf(const QImage* img, int32_t fallback) {
  return img && !img->isNull() ? img->height() : fallback;
}

std::unique_ptr<TTransformRect> MakeTransform(const QImage* img, int32_t fallback, int32_t span) {
  const int32_t w = WidthOf(img, fallback);
  const int32_t h = HeightOf(img, fallback);
  return std::make_unique<TTransformRect>(w, h, static_cast<float>(static_cast<double>(span) / w));
}

void Grow(TRectF& r, float left, float top, float right, float bottom) {
  r.Left = std::min(r.Left, left);
  r.Right = std::max(r.Right, right);
  r.Top = std::max(r.Top, top);
  r.Bottom = std::min(r.Bottom, bottom);
}

}  // namespace

// ---- elements ---------------------------------------------------------------

bool TPathElement::LoadFromStream(TStreamReader& s) {
  StartPoint = s.ReadPoint();
  EndPoint = s.ReadPoint();
  return !s.Failed();
}

void TPathElement::SaveToStream(TStreamWriter& s) const {
  s.WriteUInt8(Kind);
  s.WritePoint(StartPoint);
  s.WritePoint(EndPoint);
}

bool TArcData::LoadFromStream(TStreamReader& s) {
  TPathElement::LoadFromStream(s);
  Center = s.ReadPoint();
  Radius = s.ReadFloat();
  StartAngle = s.ReadFloat();
  SweepAngle = s.ReadInt32();
  return !s.Failed();
}

void TArcData::SaveToStream(TStreamWriter& s) const {
  TPathElement::SaveToStream(s);
  s.WritePoint(Center);
  s.WriteFloat(Radius);
  s.WriteFloat(StartAngle);
  s.WriteInt32(SweepAngle);
}

// ---- track ------------------------------------------------------------------

TPath::TPath(QImage* drawImage, int32_t drawSpan, QImage* viewImage, int32_t viewSpan)
    : DrawImage(drawImage), ViewImage(viewImage) {
  DrawTransform = MakeTransform(drawImage, DefaultDesignViewSize, drawSpan);
  ViewTransform = MakeTransform(viewImage, DefaultOverviewSize, viewSpan);
  ReadDefaults();
}

TPath::~TPath() = default;

void TPath::Clear() { Elements.clear(); }

void TPath::DeleteElement(int index) {
  if (index < 0 || index >= static_cast<int>(Elements.size())) return;
  Elements.erase(Elements.begin() + index);
}

void TPath::AddLine(std::unique_ptr<TLineData> line) {
  const TLineData& ref = *line;
  Elements.push_back(std::move(line));
  ExtendBoundsByLine(ref);
  if (!RectInside(DrawTransform->VisibleRect, ViewTransform->VisibleRect)) ClampDrawView();
  DrawDesignView(true);
  DrawOverview(true);
}

void TPath::AddArc(std::unique_ptr<TArcData> arc) {
  const TArcData& ref = *arc;
  Elements.push_back(std::move(arc));
  ExtendBoundsByArc(ref);
  if (!RectInside(DrawTransform->VisibleRect, ViewTransform->VisibleRect)) ClampDrawView();
  DrawDesignView(true);
  DrawOverview(true);
}

void TPath::ExtendBoundsByLine(const TLineData& line) {
  const TPointF a = line.StartPoint, b = line.EndPoint;
  Grow(Bounds, std::min(a.X, b.X), std::max(a.Y, b.Y), std::max(a.X, b.X), std::min(a.Y, b.Y));
  FitOverview();
}

void TPath::ExtendBoundsByArc(const TArcData& arc) {
  const double r = arc.Radius;
  Grow(Bounds, static_cast<float>(arc.Center.X - r), static_cast<float>(arc.Center.Y + r),
       static_cast<float>(arc.Center.X + r), static_cast<float>(arc.Center.Y - r));
  FitOverview();
}

void TPath::FitOverview() {
  ViewTransform->SetOffset(
      MakePointF(static_cast<float>(-(static_cast<double>(Bounds.Left) + Bounds.Right) / 2),
                 static_cast<float>(-(static_cast<double>(Bounds.Top) + Bounds.Bottom) / 2)));
  TRectF r = ViewTransform->VisibleRect;
  // 700 mm of margin beyond any side that overflows.
  if (Bounds.Right > r.Right) r.Right = Bounds.Right + 700;
  if (Bounds.Left < r.Left) r.Left = Bounds.Left - 700;
  if (Bounds.Top > r.Top) r.Top = Bounds.Top + 700;
  if (Bounds.Bottom < r.Bottom) r.Bottom = Bounds.Bottom - 700;
  ViewTransform->FitRect(r);
}

void TPath::ClampDrawView() {
  TPointF c = MakePointF(-DrawTransform->Offset.X, -DrawTransform->Offset.Y);
  const TRectF& d = DrawTransform->VisibleRect;
  const float h = static_cast<float>((static_cast<double>(d.Right) - d.Left) / 2);
  const TRectF& v = ViewTransform->VisibleRect;
  if (c.X + h > v.Right) c.X = v.Right - h;
  if (c.X - h < v.Left) c.X = v.Left + h;
  if (c.Y + h > v.Top) c.Y = v.Top - h;
  if (c.Y - h < v.Bottom) c.Y = v.Bottom + h;
  DrawTransform->SetOffset(MakePointF(-c.X, -c.Y));
}

TPointF TPath::DeleteFrom(int k) {
  for (int i = static_cast<int>(Elements.size()) - 1; i >= k && i >= 0; --i) DeleteElement(i);
  Bounds = TRectF{};
  for (const auto& e : Elements) {
    if (e->Kind == 1)
      ExtendBoundsByArc(static_cast<const TArcData&>(*e));
    else
      ExtendBoundsByLine(static_cast<const TLineData&>(*e));
  }
  if (!RectInside(DrawTransform->VisibleRect, ViewTransform->VisibleRect)) ClampDrawView();
  return LastEndPoint();
}

TPointF TPath::LastEndPoint() const {
  return Elements.empty() ? TPointF{} : Elements.back()->EndPoint;
}

bool TPath::IsClosed() const {
  return !Elements.empty() && PointsEqual(Elements.back()->EndPoint, TPointF{});
}

void TPath::ReadDefaults() {
  const TIniFile ini(ModelSettingsPath());
  PathWidth = ReadModelInt(ini, SecPath, "PathWidth");
  LineWidth = ReadModelInt(ini, SecPath, "LineWidth");
  Miu = static_cast<float>(ReadModelFloat(ini, SecPath, "Miu"));
}

// ---- files ------------------------------------------------------------------

void TPath::SaveToStream(TStreamWriter& s) const {
  s.WriteInt32(PathWidth);
  s.WriteInt32(LineWidth);
  s.WriteFloat(Miu);
  s.WriteRect(Bounds);
  s.WriteInt32(static_cast<int32_t>(Elements.size()));
  for (const auto& e : Elements) e->SaveToStream(s);
}

bool TPath::LoadFromStream(TStreamReader& s) {
  const size_t before = Elements.size();
  const int32_t oldPathWidth = PathWidth, oldLineWidth = LineWidth;
  const float oldMiu = Miu;
  const TRectF oldBounds = Bounds;
  PathWidth = s.ReadInt32();
  LineWidth = s.ReadInt32();
  Miu = s.ReadFloat();
  Bounds = s.ReadRect();
  const int32_t n = s.ReadInt32();
  // Every entry takes at least its Kind byte, so a larger count cannot be genuine.
  if (n > s.Remaining()) s.Fail();
  for (int32_t i = 0; i < n && !s.Failed(); ++i) {
    const uint8_t kind = s.ReadUInt8();
    std::unique_ptr<TPathElement> e;
    if (kind == 0)
      e = std::make_unique<TLineData>();
    else if (kind == 1)
      e = std::make_unique<TArcData>();
    else
      continue;  // an unknown kind is a single byte; the next byte starts the next entry
    if (e->LoadFromStream(s)) Elements.push_back(std::move(e));
  }
  if (s.Failed()) {
    // A refused body changes nothing: the parameters read so far are put back too.
    Elements.resize(before);
    PathWidth = oldPathWidth;
    LineWidth = oldLineWidth;
    Miu = oldMiu;
    Bounds = oldBounds;
    return false;
  }
  return true;
}

bool TPath::SaveToFile() const {
  TStreamWriter s;
  s.WriteHead(PathTag, FileVersion);
  SaveToStream(s);
  return SaveFileAtomic(FileName, s.Data());
}

bool TPath::LoadFromFile() {
  QByteArray data;
  if (!ReadWholeFile(FileName, data)) return false;
  TStreamReader s(data);
  if (!s.ReadHead(PathTag, FileVersion)) return false;
  if (!LoadFromStream(s)) {
    Elements.clear();
    return false;
  }
  return true;
}

// ---- distances --------------------------------------------------------------

float LineDistance(const TLineData& line, TPointF p) {
  const float a = DirectionAngle(line.StartPoint, p);
  const float b = DirectionAngle(line.StartPoint, line.EndPoint);
  const float diff = a - b;
  const double theta = diff * DegToRad;
  const double len = PointDistance(line.StartPoint, line.EndPoint);
  const double d = PointDistance(line.StartPoint, p);
  const double along = d * std::cos(theta);
  if (0 <= along && along <= len) return static_cast<float>(std::fabs(d * std::sin(theta)));
  return std::min(static_cast<float>(d), PointDistance(line.EndPoint, p));
}

float ArcDistance(const TArcData& arc, TPointF p) {
  if (arc.SweepAngle == 0) return PointDistance(arc.StartPoint, p);
  float c = DirectionAngle(arc.Center, p) - arc.StartAngle;
  if (arc.SweepAngle >= 0) {
    if (c < 0) c = c + 360;
  } else if (c > 0) {
    c = c - 360;
  }
  const double f = static_cast<double>(c) / arc.SweepAngle;
  if (0 <= f && f <= 1) return std::fabs(arc.Radius - PointDistance(arc.Center, p));
  return std::min(PointDistance(arc.EndPoint, p), PointDistance(arc.StartPoint, p));
}

float ElementDistance(const TPathElement& e, TPointF p) {
  return e.Kind == 1 ? ArcDistance(static_cast<const TArcData&>(e), p)
                     : LineDistance(static_cast<const TLineData&>(e), p);
}

// ---- building rules ---------------------------------------------------------

std::unique_ptr<TLineData> BuildLine(TPointF currentEnd, float x, float y, QString& error) {
  const TPointF end = MakePointF(x, y);
  if (PointsEqual(currentEnd, end)) {
    error = QString::fromUtf8(MsgEndEqualsStart);
    return nullptr;
  }
  return std::make_unique<TLineData>(currentEnd, end);
}

std::unique_ptr<TArcData> BuildArc(TPointF currentEnd, float cx, float cy, int32_t sweep,
                                   int32_t minPathR, QString& error) {
  auto arc = std::make_unique<TArcData>();
  arc->Center = MakePointF(cx, cy);
  arc->StartPoint = currentEnd;
  if (PointsEqual(arc->StartPoint, arc->Center)) {
    error = QString::fromUtf8(MsgCenterEqualsStart);
    return nullptr;
  }
  if (sweep == 0) {
    error = QString::fromUtf8(MsgNoSweep);
    return nullptr;
  }
  arc->Radius = PointDistance(arc->StartPoint, arc->Center);
  // Compared in double: a rule above 2^24 mm must not be rounded to a float first.
  if (static_cast<double>(minPathR) > arc->Radius) {
    error = QString::fromUtf8(MsgRadiusTooSmall);
    return nullptr;
  }
  arc->StartAngle = DirectionAngle(arc->Center, arc->StartPoint);
  arc->SweepAngle = sweep;
  const double theta = (static_cast<double>(sweep) + arc->StartAngle) * DegToRad;
  arc->EndPoint = MakePointF(static_cast<float>(arc->Center.X + arc->Radius * std::cos(theta)),
                             static_cast<float>(arc->Center.Y + arc->Radius * std::sin(theta)));
  return arc;
}

std::unique_ptr<TLineData> BuildCloseLine(TPointF currentEnd) {
  return std::make_unique<TLineData>(currentEnd, TPointF{});
}

}  // namespace k2
