#pragma once
// A spatial index of a track's elements, so that the work of a simulation step does
// not grow with the length of the track.
//
// Each element has a box that holds every point of it (a line's end points, an arc's
// whole circle).  The boxes are entered into a uniform grid of square cells over the
// track; a query visits only the cells it touches and returns the candidate elements
// in ascending order.  The distance functions still decide: the index only proves, by
// a lower bound with a margin for rounding, that the elements it leaves out cannot
// matter, so results are exactly those of looking at every element.
//
// The index refers to elements by position in TPath::Elements.  It holds no pointer
// into the track; rebuild it whenever the track's elements change.
#include <cstdint>
#include <vector>

#include "geometry/uVector.h"

namespace k2 {

class TPath;

class TPathIndex {
 public:
  // Indexes the elements of `track` as they are now.
  void Build(const TPath& track);
  int32_t Count() const { return static_cast<int32_t>(Boxes.size()); }

  // The elements that may lie within `radius` of p (every element whose distance from
  // p is at most `radius` is among them), ascending.  Nothing for a negative radius.
  void Near(TPointF p, double radius, std::vector<int32_t>& out) const;
  // The elements whose box, grown by `grow` mm on every side, may meet `rect`,
  // ascending.
  void InRect(const TRectF& rect, double grow, std::vector<int32_t>& out) const;
  // A number never above the element's distance from p as ElementDistance computes it.
  double LowerBound(int32_t element, TPointF p) const;

 private:
  void Collect(double left, double bottom, double right, double top,
               std::vector<int32_t>& out) const;

  std::vector<TRectF> Boxes;      // per element
  std::vector<int32_t> Everywhere;  // elements too large for the grid, always candidates
  double Left = 0, Bottom = 0;    // world position of the grid's corner, mm
  double Cell = 1;                // side of a cell, mm
  int32_t Cols = 0, Rows = 0;
  std::vector<int32_t> CellStart;  // Cols x Rows + 1 offsets into CellItems
  std::vector<int32_t> CellItems;
  // Marks of the elements already collected by the query under way.
  mutable std::vector<uint32_t> Seen;
  mutable uint32_t Query = 0;
};

}  // namespace k2
