#pragma once
// The trail of a run: the path of the recorded positions, drawn into the track's
// design view (dashed, 4 px) and overview (solid, 1 px) in translucent red.
//
// For each record i >= 1 the segment from record i - 1 to record i belongs to a view
// when record i lies inside that view's visible rectangle; segments that follow each
// other form one polyline.  The picture is the same as stroking all of them anew on
// every frame, but the cost does not grow with the length of the run:
// - the records are indexed in a grid of world cells, so the design view visits only
//   the records near the car;
// - the overview's segments are kept in a layer of their own, and only the records
//   added since the last frame are drawn into it, until its transform changes or the
//   records are cleared.
#include <QImage>
#include <QPainterPath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry/uVector.h"

namespace k2 {

class TPath;
class TRecords;

class TTrail {
 public:
  // Draws the trail of records 0..lastIndex (nothing with fewer than two records).
  void Draw(TPath& track, const TRecords& records, int32_t lastIndex);

 private:
  void Sync(const TRecords& records);
  void DrawDesign(TPath& track, const TRecords& records, int32_t lastIndex);
  void DrawOverview(TPath& track, const TRecords& records, int32_t lastIndex);

  // Grid of record indices by the cell their position lies in.
  std::unordered_map<int64_t, std::vector<int32_t>> Cells;
  int32_t Indexed = 0;      // records entered into the grid
  uint64_t Generation = 0;  // of the records the grid and the layer were built from
  bool Built = false;
  std::vector<int32_t> Near;  // reused every frame
  QPainterPath Path;          // reused every frame

  // The overview's segments, opaque in the trail colour's alpha, on transparent.
  QImage Layer;
  int32_t LayerLast = 0;  // records up to this index are drawn into the layer
  TPointF LayerOffset;
  float LayerScale = 0;
  float LayerZoom = 0;
};

}  // namespace k2
