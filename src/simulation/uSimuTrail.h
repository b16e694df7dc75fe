#pragma once
// The trail of a run: the path of the recorded positions, drawn in translucent red into
// the track's design view (dashed, 4 px) and overview (solid, 1 px).  The segment
// from record i - 1 to record i belongs to the trail of records 0..n when i <= n.
//
// A frame must not cost more as the run grows, and going back in a replay must cost
// no more than going forward.  So each view keeps a map, in that view's pixels
// anchored in the world, of the first segment that covers each pixel.  A frame then
// shows every pixel whose first segment is at most the last index shown: a pass over
// the view's pixels, whatever the number of records.  The map is cut into tiles built
// only where a view looks (from a grid of the records by world cell), extended as
// records are added, and dropped least recently used beyond a memory bound (rebuilt
// when looked at again).
//
// The view shows the map shifted by whole pixels, and the lines are drawn by this
// unit rather than by Qt's stroker: the trail's pixels may differ from stroking the
// segments anew by up to half a pixel, with the same colour, widths and dash pattern.
#include <QImage>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "geometry/uVector.h"

namespace k2 {

class TPath;
class TRecords;
class TTransformRect;

// The records of a run indexed by world cell, shared by both views' maps.
class TTrailRecords {
 public:
  // Brings the index up to date with `records`; starts again when they were cleared.
  void Sync(const TRecords& records);
  const TRecords* Records() const { return Source; }
  // Segments (by the index of their end record, 1..Count()-1) that may meet the world
  // rectangle, ascending and without repeats.
  void SegmentsNear(const TRectF& world, std::vector<int32_t>& out) const;
  int32_t Count() const { return Indexed; }
  uint64_t Generation() const { return Gen; }

 private:
  const TRecords* Source = nullptr;
  uint64_t Gen = 0;
  bool Built = false;
  std::unordered_map<int64_t, std::vector<int32_t>> Cells;  // record indices per cell
  std::vector<int32_t> Long;  // segments longer than a cell: always candidates
  int32_t Indexed = 0;        // records entered
};

// One view's map of first covering segments.
class TTrailMap {
 public:
  // dashed: the design view's 4 px dashed line; otherwise the overview's 1 px line.
  explicit TTrailMap(bool dashed) : Dashed(dashed) {}

  // Blends the trail of records 0..lastIndex into `view`, which shows the world
  // through `t` (a fixed scale; a change of scale starts the map again).
  void Paint(const TTrailRecords& trail, const TTransformRect& t, QImage& view, int32_t lastIndex);

 private:
  struct TTile {
    std::vector<int32_t> First;  // per pixel; None where no segment covers it
    uint64_t Used = 0;
  };
  static constexpr int32_t TileBits = 7;
  static constexpr int32_t TileSize = 1 << TileBits;
  static constexpr int32_t None = INT32_MAX;

  void Reset(const TTrailRecords& trail, double mmPerPixel);
  void Extend(const TTrailRecords& trail);
  TTile& TileAt(const TTrailRecords& trail, int64_t tx, int64_t ty);
  // Draws segment k into the tile at (tx, ty), clipped to it.
  void Draw(const TTrailRecords& trail, int32_t k, int64_t tx, int64_t ty, TTile& tile) const;
  void Evict();

  bool Dashed;
  double Scale = 0;      // mm per pixel
  uint64_t Gen = 0;      // of the records the tiles were built from
  int32_t Done = 0;      // segments 1..Done are in every tile
  uint64_t Clock = 0;    // for least recently used
  std::unordered_map<int64_t, TTile> Tiles;
  std::vector<int32_t> Candidates;  // reused
};

class TTrail {
 public:
  TTrail();
  ~TTrail();
  // Draws the trail of records 0..lastIndex (nothing with fewer than two records) into
  // the track's design view and overview.
  void Draw(TPath& track, const TRecords& records, int32_t lastIndex);

 private:
  TTrailRecords Index;
  TTrailMap Design{true};
  TTrailMap Overview{false};
};

}  // namespace k2
