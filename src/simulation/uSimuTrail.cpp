#include "simulation/uSimuTrail.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "simulation/uRecord.h"
#include "track/uPath.h"

namespace k2 {

namespace {

constexpr QRgb TrailColour = 0xD5FF0000;
constexpr double CellMm = 500;  // grid cell side

int32_t CellOf(float v) {
  const double c = std::floor(v / CellMm);
  return static_cast<int32_t>(std::clamp(c, -1e9, 1e9));
}

int64_t CellKey(int32_t cx, int32_t cy) {
  // Shifted as unsigned: a negative cell number must not shift a negative value.
  return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) |
                              static_cast<uint32_t>(cy));
}

TPointF PosOf(const TRecordData& r) { return MakePointF(r.PosX, r.PosY); }

bool Usable(const QImage* img) { return img && !img->isNull(); }

// Adds the segment ending at record i when record i lies inside the view of `t`; a
// segment that does not follow the last one added (`last`) starts a new figure.
void AddSegment(QPainterPath& path, const TTransformRect& t, const TRecords& records, int32_t i,
                int32_t& last) {
  const TPointF q = PosOf(*records.Items[static_cast<size_t>(i)]);
  if (!t.ContainsPoint(q)) return;
  const TPointF a = t.WorldToView(PosOf(*records.Items[static_cast<size_t>(i - 1)]));
  const TPointF b = t.WorldToView(q);
  if (last != i - 1) path.moveTo(a.X, a.Y);
  path.lineTo(b.X, b.Y);
  last = i;
}

}  // namespace

void TTrail::Draw(TPath& track, const TRecords& records, int32_t lastIndex) {
  lastIndex = std::min(lastIndex, records.Count() - 1);
  Sync(records);
  if (lastIndex < 1) return;
  if (Usable(track.DrawImage)) DrawDesign(track, records, lastIndex);
  if (Usable(track.ViewImage)) DrawOverview(track, records, lastIndex);
}

void TTrail::Sync(const TRecords& records) {
  if (!Built || records.Generation != Generation || records.Count() < Indexed) {
    Cells.clear();
    Indexed = 0;
    LayerLast = 0;
    Layer = QImage();
    Generation = records.Generation;
    Built = true;
  }
  for (; Indexed < records.Count(); ++Indexed) {
    const TRecordData& r = *records.Items[static_cast<size_t>(Indexed)];
    if (!std::isfinite(r.PosX) || !std::isfinite(r.PosY)) continue;  // never inside a view
    Cells[CellKey(CellOf(r.PosX), CellOf(r.PosY))].push_back(Indexed);
  }
}

void TTrail::DrawDesign(TPath& track, const TRecords& records, int32_t lastIndex) {
  const TTransformRect& t = *track.DrawTransform;
  const TRectF& v = t.VisibleRect;
  Near.clear();
  const int32_t x0 = CellOf(v.Left), x1 = CellOf(v.Right);
  const int32_t y0 = CellOf(v.Bottom), y1 = CellOf(v.Top);
  if (static_cast<int64_t>(x1 - x0 + 1) * (y1 - y0 + 1) > static_cast<int64_t>(Cells.size())) {
    // A view larger than the grid's content: look at every cell once.
    for (const auto& cell : Cells) Near.insert(Near.end(), cell.second.begin(), cell.second.end());
  } else {
    for (int32_t cx = x0; cx <= x1; ++cx)
      for (int32_t cy = y0; cy <= y1; ++cy) {
        const auto it = Cells.find(CellKey(cx, cy));
        if (it != Cells.end()) Near.insert(Near.end(), it->second.begin(), it->second.end());
      }
  }
  std::sort(Near.begin(), Near.end());

  Path.clear();
  int32_t last = -2;
  for (int32_t i : Near)
    if (i >= 1 && i <= lastIndex) AddSegment(Path, t, records, i, last);
  if (Path.isEmpty()) return;
  QPainter p(track.DrawImage);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor::fromRgba(TrailColour), 4, Qt::DashLine));
  p.setBrush(Qt::NoBrush);
  p.drawPath(Path);
}

void TTrail::DrawOverview(TPath& track, const TRecords& records, int32_t lastIndex) {
  const TTransformRect& t = *track.ViewTransform;
  QImage& view = *track.ViewImage;
  const bool moved = t.Offset.X != LayerOffset.X || t.Offset.Y != LayerOffset.Y ||
                     t.Scale != LayerScale || t.ZoomFactor != LayerZoom;
  if (moved || Layer.size() != view.size() || lastIndex < LayerLast) {
    Layer = QImage(view.size(), QImage::Format_ARGB32_Premultiplied);
    Layer.fill(Qt::transparent);
    LayerLast = 0;
    LayerOffset = t.Offset;
    LayerScale = t.Scale;
    LayerZoom = t.ZoomFactor;
  }
  if (lastIndex > LayerLast) {
    Path.clear();
    int32_t last = -2;
    for (int32_t i = LayerLast + 1; i <= lastIndex; ++i) AddSegment(Path, t, records, i, last);
    if (!Path.isEmpty()) {
      // Source mode stores the trail colour itself, so that segments drawn over each
      // other stay one layer of translucent red, as one stroke of the whole path is.
      QPainter p(&Layer);
      p.setRenderHint(QPainter::Antialiasing, false);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.setPen(QPen(QColor::fromRgba(TrailColour), 1, Qt::SolidLine));
      p.setBrush(Qt::NoBrush);
      p.drawPath(Path);
    }
    LayerLast = lastIndex;
  }
  QPainter p(&view);
  p.drawImage(0, 0, Layer);
}

}  // namespace k2
