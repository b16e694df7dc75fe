#include "track/uPathIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "track/uPath.h"

namespace k2 {

namespace {

// The grid has at most this many cells along a side; finer cells than the track's
// elements need cost memory and buy nothing.
constexpr int32_t MaxCellsPerSide = 512;
// An element whose box would fill more cells than this is always a candidate instead.
constexpr int64_t MaxCellsPerElement = 256;

bool Finite(const TRectF& r) {
  return std::isfinite(r.Left) && std::isfinite(r.Right) && std::isfinite(r.Top) &&
         std::isfinite(r.Bottom);
}

void Grow(TRectF& r, TPointF p) {
  r.Left = std::min(r.Left, p.X);
  r.Right = std::max(r.Right, p.X);
  r.Bottom = std::min(r.Bottom, p.Y);
  r.Top = std::max(r.Top, p.Y);
}

// Holds every point the element's distance function measures to: a line's end points;
// an arc's circle (its stored radius about its stored centre) and its end points, which
// a file may place anywhere.
TRectF ElementBox(const TPathElement& e) {
  const auto finite = [](TPointF p) { return std::isfinite(p.X) && std::isfinite(p.Y); };
  bool ok = finite(e.StartPoint) && finite(e.EndPoint);
  TRectF r = MakeRectF(e.StartPoint.X, e.StartPoint.Y, e.StartPoint.X, e.StartPoint.Y);
  Grow(r, e.EndPoint);
  if (e.Kind == 1) {
    const auto& a = static_cast<const TArcData&>(e);
    const float radius = std::fabs(a.Radius);
    ok = ok && finite(a.Center) && std::isfinite(radius);
    Grow(r, MakePointF(a.Center.X - radius, a.Center.Y - radius));
    Grow(r, MakePointF(a.Center.X + radius, a.Center.Y + radius));
  }
  // std::min and std::max would drop a NaN: an element with one is no box at all, and
  // is a candidate everywhere.
  if (!ok) r.Left = std::numeric_limits<float>::quiet_NaN();
  return r;
}

double Magnitude(const TRectF& r) {
  return std::max({std::fabs(r.Left), std::fabs(r.Right), std::fabs(r.Top), std::fabs(r.Bottom)});
}

// What the distance functions may come out below the true distance: they work through
// float angles in degrees, so their error grows with the size of the coordinates.
double RoundingMargin(double magnitude) { return 1e-4 * magnitude + 0.05; }

}  // namespace

void TPathIndex::Build(const TPath& track) {
  const size_t n = track.Elements.size();
  Boxes.resize(n);
  Everywhere.clear();
  Seen.assign(n, 0);
  Query = 0;
  bool any = false;
  TRectF extent;
  for (size_t i = 0; i < n; ++i) {
    Boxes[i] = ElementBox(*track.Elements[i]);
    if (!Finite(Boxes[i])) continue;
    if (!any) extent = Boxes[i];
    Grow(extent, MakePointF(Boxes[i].Left, Boxes[i].Bottom));
    Grow(extent, MakePointF(Boxes[i].Right, Boxes[i].Top));
    any = true;
  }
  const double width = any ? static_cast<double>(extent.Right) - extent.Left : 0;
  const double height = any ? static_cast<double>(extent.Top) - extent.Bottom : 0;
  // Cells about half as large as the room one element has, but never so many that a
  // side holds more than MaxCellsPerSide.
  const double room = n > 0 ? std::sqrt(std::max(width * height, 1.0) / static_cast<double>(n)) : 1;
  Cell = std::max({room / 2, std::max(width, height) / MaxCellsPerSide, 1.0});
  Left = any ? extent.Left : 0;
  Bottom = any ? extent.Bottom : 0;
  Cols = any ? std::min<int32_t>(MaxCellsPerSide, static_cast<int32_t>(width / Cell) + 1) : 0;
  Rows = any ? std::min<int32_t>(MaxCellsPerSide, static_cast<int32_t>(height / Cell) + 1) : 0;

  // Two passes: count the elements of every cell, then fill them in.
  CellStart.assign(static_cast<size_t>(Cols) * Rows + 1, 0);
  std::vector<int32_t> spans;  // per element: x0, x1, y0, y1, or -1 when not in the grid
  spans.assign(4 * n, -1);
  for (size_t i = 0; i < n; ++i) {
    const TRectF& b = Boxes[i];
    if (!Finite(b)) {
      Everywhere.push_back(static_cast<int32_t>(i));
      continue;
    }
    const auto col = [&](double x) {
      return std::clamp(static_cast<int32_t>((x - Left) / Cell), 0, Cols - 1);
    };
    const auto row = [&](double y) {
      return std::clamp(static_cast<int32_t>((y - Bottom) / Cell), 0, Rows - 1);
    };
    const int32_t x0 = col(b.Left), x1 = col(b.Right), y0 = row(b.Bottom), y1 = row(b.Top);
    if (static_cast<int64_t>(x1 - x0 + 1) * (y1 - y0 + 1) > MaxCellsPerElement) {
      Everywhere.push_back(static_cast<int32_t>(i));
      continue;
    }
    spans[4 * i] = x0;
    spans[4 * i + 1] = x1;
    spans[4 * i + 2] = y0;
    spans[4 * i + 3] = y1;
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) ++CellStart[static_cast<size_t>(y) * Cols + x + 1];
  }
  for (size_t c = 1; c < CellStart.size(); ++c) CellStart[c] += CellStart[c - 1];
  CellItems.assign(static_cast<size_t>(CellStart.back()), 0);
  std::vector<int32_t> fill(CellStart.begin(), CellStart.end() - 1);
  for (size_t i = 0; i < n; ++i) {
    if (spans[4 * i] < 0) continue;
    for (int32_t y = spans[4 * i + 2]; y <= spans[4 * i + 3]; ++y)
      for (int32_t x = spans[4 * i]; x <= spans[4 * i + 1]; ++x)
        CellItems[static_cast<size_t>(fill[static_cast<size_t>(y) * Cols + x]++)] =
            static_cast<int32_t>(i);
  }
}

void TPathIndex::Collect(double left, double bottom, double right, double top,
                         std::vector<int32_t>& out) const {
  if (++Query == 0) {  // the marks wrapped round: start them afresh
    std::fill(Seen.begin(), Seen.end(), 0);
    Query = 1;
  }
  for (int32_t e : Everywhere) {
    Seen[static_cast<size_t>(e)] = Query;
    out.push_back(e);
  }
  if (Cols == 0 || !(right >= Left) || !(top >= Bottom)) return;
  const double x0 = std::floor((left - Left) / Cell), x1 = std::floor((right - Left) / Cell);
  const double y0 = std::floor((bottom - Bottom) / Cell), y1 = std::floor((top - Bottom) / Cell);
  if (!(x0 < Cols) || !(y0 < Rows)) return;
  const int32_t cx0 = std::max<int32_t>(0, static_cast<int32_t>(std::max(x0, -1.0)));
  const int32_t cx1 = static_cast<int32_t>(std::min<double>(x1, Cols - 1));
  const int32_t cy0 = std::max<int32_t>(0, static_cast<int32_t>(std::max(y0, -1.0)));
  const int32_t cy1 = static_cast<int32_t>(std::min<double>(y1, Rows - 1));
  for (int32_t y = cy0; y <= cy1; ++y)
    for (int32_t x = cx0; x <= cx1; ++x) {
      const size_t c = static_cast<size_t>(y) * Cols + x;
      for (int32_t k = CellStart[c]; k < CellStart[c + 1]; ++k) {
        const int32_t e = CellItems[static_cast<size_t>(k)];
        if (Seen[static_cast<size_t>(e)] == Query) continue;
        Seen[static_cast<size_t>(e)] = Query;
        out.push_back(e);
      }
    }
}

double TPathIndex::LowerBound(int32_t element, TPointF p) const {
  const TRectF& b = Boxes[static_cast<size_t>(element)];
  if (!Finite(b) || !std::isfinite(p.X) || !std::isfinite(p.Y)) return 0;
  const double dx = std::max({static_cast<double>(b.Left) - p.X, 0.0, static_cast<double>(p.X) - b.Right});
  const double dy = std::max({static_cast<double>(b.Bottom) - p.Y, 0.0, static_cast<double>(p.Y) - b.Top});
  const double scale = Magnitude(b) + std::max(std::fabs(p.X), std::fabs(p.Y));
  return std::hypot(dx, dy) - RoundingMargin(scale);
}

void TPathIndex::Near(TPointF p, double radius, std::vector<int32_t>& out) const {
  out.clear();
  if (!(radius >= 0)) return;
  if (!std::isfinite(p.X) || !std::isfinite(p.Y)) {
    // No box can be ruled out for such a point.
    for (int32_t i = 0; i < Count(); ++i) out.push_back(i);
    return;
  }
  const double reach = radius + RoundingMargin(std::max(std::fabs(p.X), std::fabs(p.Y))) +
                       RoundingMargin(std::max(std::fabs(Left), std::fabs(Bottom)) + Cell * std::max(Cols, Rows));
  Collect(p.X - reach, p.Y - reach, p.X + reach, p.Y + reach, out);
  out.erase(std::remove_if(out.begin(), out.end(),
                           [&](int32_t e) { return LowerBound(e, p) > radius; }),
            out.end());
  std::sort(out.begin(), out.end());
}

void TPathIndex::InRect(const TRectF& rect, double grow, std::vector<int32_t>& out) const {
  out.clear();
  if (!Finite(rect)) {
    for (int32_t i = 0; i < Count(); ++i) out.push_back(i);
    return;
  }
  // Float boxes grown in float may come out a rounding further than `grow`.
  const double g = grow + RoundingMargin(Magnitude(rect) + grow);
  Collect(rect.Left - g, rect.Bottom - g, rect.Right + g, rect.Top + g, out);
  std::sort(out.begin(), out.end());
}

}  // namespace k2
