#include "simulation/uSimuTrail.h"

#include <QColor>
#include <algorithm>
#include <cmath>

#include "geometry/uTransformRect.h"
#include "simulation/uRecord.h"
#include "track/uPath.h"

namespace k2 {

namespace {

// The trail's colour, premultiplied: 0xD5FF0000.
constexpr uint32_t TrailAlpha = 0xD5;
constexpr double CellMm = 500;  // side of a world cell of the record grid
// Tiles of one map kept at most; more are dropped least recently used.
constexpr size_t MaxTiles = 512;
// The design view's line: 4 px wide, dashes of 4 widths and gaps of 2, each dash
// with its square caps (half a width at each end), every 24 pixels.
constexpr double DashedHalfWidth = 2;
constexpr double DashPeriod = 24;
constexpr double DashOn = 18;   // from the start of a period: the dash and its end cap
constexpr double DashCap = 2;   // the next dash's start cap at the end of the period

int32_t CellOf(double v) { return static_cast<int32_t>(std::clamp(std::floor(v / CellMm), -1e9, 1e9)); }

int64_t CellKey(int64_t cx, int64_t cy) {
  // Shifted as unsigned: a negative cell number must not shift a negative value.
  return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) |
                              static_cast<uint32_t>(cy));
}

bool Finite(TPointF p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// Qt's product of a colour channel and an alpha, rounded as its raster engine does.
inline uint32_t ByteMul(uint32_t c, uint32_t a) {
  const uint32_t t = c * a;
  return (t + (t >> 8) + 0x80) >> 8;
}

// The trail colour over one pixel, as Qt blends a translucent solid colour (source
// over) onto a 32-bit ARGB pixel.
inline QRgb Blend(QRgb dst) {
  const QRgb d = qPremultiply(dst);
  const uint32_t inv = 255 - TrailAlpha;
  const QRgb out = qRgba(static_cast<int>(TrailAlpha + ByteMul(qRed(d), inv)),
                         static_cast<int>(ByteMul(qGreen(d), inv)),
                         static_cast<int>(ByteMul(qBlue(d), inv)),
                         static_cast<int>(TrailAlpha + ByteMul(qAlpha(d), inv)));
  return qUnpremultiply(out);
}

}  // namespace

// ---- the records by world cell ------------------------------------------------

void TTrailRecords::Sync(const TRecords& records) {
  if (!Built || records.Generation != Gen || records.Count() < Indexed) {
    Cells.clear();
    Long.clear();
    Indexed = 0;
    Gen = records.Generation;
    Built = true;
  }
  Source = &records;
  for (int32_t i = Indexed; i < records.Count(); ++i) {
    const TPointF p = records.Position(i);
    if (i > 0) {
      const TPointF q = records.Position(i - 1);
      if (Finite(p) && Finite(q) &&
          std::hypot(static_cast<double>(p.X) - q.X, static_cast<double>(p.Y) - q.Y) > CellMm)
        Long.push_back(i);
    }
    if (Finite(p)) Cells[CellKey(CellOf(p.X), CellOf(p.Y))].push_back(i);
  }
  Indexed = records.Count();
}

void TTrailRecords::SegmentsNear(const TRectF& world, std::vector<int32_t>& out) const {
  out = Long;
  // A segment no longer than a cell that meets the rectangle has both ends within a
  // cell of it.
  const int64_t x0 = CellOf(world.Left) - 1, x1 = CellOf(world.Right) + 1;
  const int64_t y0 = CellOf(world.Bottom) - 1, y1 = CellOf(world.Top) + 1;
  const auto take = [&](const std::vector<int32_t>& records) {
    for (int32_t r : records) {
      if (r >= 1) out.push_back(r);
      if (r + 1 < Count()) out.push_back(r + 1);
    }
  };
  if ((x1 - x0 + 1) * (y1 - y0 + 1) > static_cast<int64_t>(Cells.size())) {
    for (const auto& cell : Cells) take(cell.second);
  } else {
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) {
        const auto it = Cells.find(CellKey(cx, cy));
        if (it != Cells.end()) take(it->second);
      }
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

// ---- one view's map ---------------------------------------------------------------

void TTrailMap::Reset(const TTrailRecords& trail, double mmPerPixel) {
  Tiles.clear();
  Scale = mmPerPixel;
  Gen = trail.Generation();
  Done = std::max(trail.Count() - 1, 0);  // tiles built from now on take them all
}

void TTrailMap::Draw(const TTrailRecords& trail, int32_t k, int64_t tx, int64_t ty,
                     TTile& tile) const {
  const TRecords& records = *trail.Records();
  const TPointF pa = records.Position(k - 1), pb = records.Position(k);
  if (!Finite(pa) || !Finite(pb)) return;  // never part of a view
  // Map pixels: x to the right, y downwards, the world origin at the corner of pixel 0.
  const double ax = pa.X / Scale, ay = -pa.Y / Scale, bx = pb.X / Scale, by = -pb.Y / Scale;
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  if (len2 == 0) return;  // the car stood still: nothing to draw
  const double left = static_cast<double>(tx) * TileSize, top = static_cast<double>(ty) * TileSize;
  int32_t* first = tile.First.data();
  const auto mark = [&](int64_t u, int64_t v) {
    const int64_t i = (v - static_cast<int64_t>(top)) * TileSize + (u - static_cast<int64_t>(left));
    if (first[i] > k) first[i] = k;
  };

  if (!Dashed) {
    // A 1 pixel line: the pixels under evenly spaced points of the segment, at most a
    // pixel apart, clipped to the tile (plus a pixel) first.
    double t0 = 0, t1 = 1;
    const auto clip = [&](double p, double q) {  // Liang-Barsky: p t <= q
      if (p == 0) return q >= 0;
      const double r = q / p;
      if (p < 0) t0 = std::max(t0, r);
      else t1 = std::min(t1, r);
      return t0 <= t1;
    };
    if (!clip(-dx, ax - (left - 1)) || !clip(dx, left + TileSize + 1 - ax) ||
        !clip(-dy, ay - (top - 1)) || !clip(dy, top + TileSize + 1 - ay))
      return;
    const double n = std::ceil(std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0));
    for (double i = 0; i <= n; ++i) {
      const double t = n > 0 ? t0 + (t1 - t0) * i / n : t0;
      const double u = std::floor(ax + dx * t), v = std::floor(ay + dy * t);
      if (u >= left && u < left + TileSize && v >= top && v < top + TileSize)
        mark(static_cast<int64_t>(u), static_cast<int64_t>(v));
    }
    return;
  }

  // The 4 pixel dashed line: pixels whose centre lies within half the width of the
  // segment and in a dash.  The dash pattern runs along the segment's main axis in map
  // pixels, so that laps over the same stretch put their dashes in the same places (as
  // one stroke of the visible segments does) and the dashes stay put as the view moves.
  const bool alongX = std::fabs(dx) >= std::fabs(dy);
  const double reach = DashedHalfWidth + 1;
  const double u0 = std::max(left, std::floor(std::min(ax, bx) - reach));
  const double u1 = std::min(left + TileSize - 1, std::ceil(std::max(ax, bx) + reach));
  const double v0 = std::max(top, std::floor(std::min(ay, by) - reach));
  const double v1 = std::min(top + TileSize - 1, std::ceil(std::max(ay, by) + reach));
  for (double v = v0; v <= v1; ++v)
    for (double u = u0; u <= u1; ++u) {
      const double phase = std::fmod(alongX ? u : v, DashPeriod);
      const double p = phase < 0 ? phase + DashPeriod : phase;
      if (p >= DashOn && p < DashPeriod - DashCap) continue;
      const double cx = u + 0.5 - ax, cy = v + 0.5 - ay;
      const double t = std::clamp((cx * dx + cy * dy) / len2, 0.0, 1.0);
      const double ex = cx - t * dx, ey = cy - t * dy;
      if (ex * ex + ey * ey > DashedHalfWidth * DashedHalfWidth) continue;
      mark(static_cast<int64_t>(u), static_cast<int64_t>(v));
    }
}

TTrailMap::TTile& TTrailMap::TileAt(const TTrailRecords& trail, int64_t tx, int64_t ty) {
  const int64_t key = CellKey(tx, ty);
  auto it = Tiles.find(key);
  if (it == Tiles.end()) {
    TTile& tile = Tiles[key];
    tile.First.assign(static_cast<size_t>(TileSize) * TileSize, None);
    // The world under the tile, grown by the line's half width.
    const double g = (DashedHalfWidth + 1) * Scale;
    TRectF world;
    world.Left = static_cast<float>(static_cast<double>(tx) * TileSize * Scale - g);
    world.Right = static_cast<float>(static_cast<double>(tx + 1) * TileSize * Scale + g);
    world.Top = static_cast<float>(-static_cast<double>(ty) * TileSize * Scale + g);
    world.Bottom = static_cast<float>(-static_cast<double>(ty + 1) * TileSize * Scale - g);
    trail.SegmentsNear(world, Candidates);
    for (int32_t k : Candidates)
      if (k <= Done) Draw(trail, k, tx, ty, tile);
    it = Tiles.find(key);
  }
  it->second.Used = ++Clock;
  return it->second;
}

void TTrailMap::Extend(const TTrailRecords& trail) {
  const TRecords& records = *trail.Records();
  for (int32_t k = Done + 1; k < trail.Count(); ++k) {
    const TPointF pa = records.Position(k - 1), pb = records.Position(k);
    if (!Finite(pa) || !Finite(pb) || Tiles.empty()) continue;
    const double reach = DashedHalfWidth + 1;
    const double tx0 = std::floor((std::min(pa.X, pb.X) / Scale - reach) / TileSize);
    const double tx1 = std::floor((std::max(pa.X, pb.X) / Scale + reach) / TileSize);
    const double ty0 = std::floor((-std::max(pa.Y, pb.Y) / Scale - reach) / TileSize);
    const double ty1 = std::floor((-std::min(pa.Y, pb.Y) / Scale + reach) / TileSize);
    // Only the tiles that exist take the segment; others take it when they are built.
    if ((tx1 - tx0 + 1) * (ty1 - ty0 + 1) > static_cast<double>(Tiles.size())) {
      for (auto& [key, tile] : Tiles) {
        const int64_t tx = static_cast<int32_t>(static_cast<uint64_t>(key) >> 32);
        const int64_t ty = static_cast<int32_t>(static_cast<uint32_t>(key));
        if (tx >= tx0 && tx <= tx1 && ty >= ty0 && ty <= ty1) Draw(trail, k, tx, ty, tile);
      }
    } else {
      for (double tx = tx0; tx <= tx1; ++tx)
        for (double ty = ty0; ty <= ty1; ++ty) {
          const auto it = Tiles.find(CellKey(static_cast<int64_t>(tx), static_cast<int64_t>(ty)));
          if (it != Tiles.end())
            Draw(trail, k, static_cast<int64_t>(tx), static_cast<int64_t>(ty), it->second);
        }
    }
  }
  Done = std::max(trail.Count() - 1, Done);
}

void TTrailMap::Evict() {
  while (Tiles.size() > MaxTiles) {
    auto oldest = Tiles.begin();
    for (auto it = Tiles.begin(); it != Tiles.end(); ++it)
      if (it->second.Used < oldest->second.Used) oldest = it;
    Tiles.erase(oldest);
  }
}

void TTrailMap::Paint(const TTrailRecords& trail, const TTransformRect& t, QImage& view,
                      int32_t lastIndex) {
  const double scale = static_cast<double>(t.Scale) * t.ZoomFactor;
  if (!(scale > 0)) return;
  if (scale != Scale || trail.Generation() != Gen || Done > std::max(trail.Count() - 1, 0))
    Reset(trail, scale);
  Extend(trail);
  if (lastIndex < 1 || view.format() != QImage::Format_ARGB32) return;

  // The view's top-left pixel in map pixels, to the nearest whole pixel.
  const double ox = -(t.Offset.X / scale + view.width() / 2.0);
  const double oy = t.Offset.Y / scale - view.height() / 2.0;
  if (!std::isfinite(ox) || !std::isfinite(oy) || std::fabs(ox) > 1e15 || std::fabs(oy) > 1e15)
    return;
  const int64_t x0 = std::llround(ox), y0 = std::llround(oy);
  const int64_t tx0 = x0 >> TileBits, tx1 = (x0 + view.width() - 1) >> TileBits;
  const int64_t ty0 = y0 >> TileBits, ty1 = (y0 + view.height() - 1) >> TileBits;
  for (int64_t ty = ty0; ty <= ty1; ++ty)
    for (int64_t tx = tx0; tx <= tx1; ++tx) {
      const TTile& tile = TileAt(trail, tx, ty);
      // The part of the view over this tile.
      const int64_t u0 = std::max(tx * TileSize, x0), u1 = std::min((tx + 1) * TileSize, x0 + view.width());
      const int64_t v0 = std::max(ty * TileSize, y0), v1 = std::min((ty + 1) * TileSize, y0 + view.height());
      for (int64_t v = v0; v < v1; ++v) {
        const int32_t* first = tile.First.data() + (v - ty * TileSize) * TileSize;
        QRgb* row = reinterpret_cast<QRgb*>(view.scanLine(static_cast<int>(v - y0)));
        for (int64_t u = u0; u < u1; ++u)
          if (first[u - tx * TileSize] <= lastIndex) {
            QRgb& px = row[u - x0];
            px = Blend(px);
          }
      }
    }
  Evict();
}

// ---- both views ---------------------------------------------------------------------

TTrail::TTrail() = default;
TTrail::~TTrail() = default;

void TTrail::Draw(TPath& track, const TRecords& records, int32_t lastIndex) {
  lastIndex = std::min(lastIndex, records.Count() - 1);
  Index.Sync(records);
  if (lastIndex < 1) return;
  if (track.DrawImage && !track.DrawImage->isNull())
    Design.Paint(Index, *track.DrawTransform, *track.DrawImage, lastIndex);
  if (track.ViewImage && !track.ViewImage->isNull())
    Overview.Paint(Index, *track.ViewTransform, *track.ViewImage, lastIndex);
}

}  // namespace k2
