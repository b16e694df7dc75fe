#pragma once
// Lap timing: how far the car has come along the track, the laps it completes on a
// closed track, their times and whether it stayed on the track.
//
// Everything is worked out from what a record holds (the car's position and `Warp`
// after each step, the step length) and the track, so a live run and any saved record
// of it give the same figures.  The rules, shared by every tool:
//
// - Track length L: the sum of the element lengths; a line is the distance from its
//   start to its end, an arc Radius x |SweepAngle| x Pi / 180.
// - The car's element: element 0 at the start of the run.  After each step, of the
//   previous step's element and its two neighbours (cyclic on a closed track, clamped
//   on an open one) the one nearest to the car (ElementDistance); when the car is
//   farther than PathWidth from all three, the nearest element of the whole track.
//   Ties go to the lower index.  Looking only at the neighbours keeps the car on its
//   own branch where a track crosses itself.
// - Progress s: the lengths of the elements before the car's element plus the length
//   along that element of the car's projection on it, clamped to the element.
// - A track is closed when its last element ends at the origin (TPath::IsClosed).
//   Moving from the last element to element 0 crosses the start line forwards, from
//   element 0 to the last element backwards.  With one or two elements those moves are
//   also the ordinary way round, so there a move counts as a crossing only when it
//   changes s by more than L / 2 (forwards when s drops).
// - A lap is completed when the net count of forward crossings reaches a new maximum,
//   at the crossing time t = t_prev + StepMs x (L - s_prev) / ((L - s_prev) + s), where
//   step i (0-based) ends at (i + 1) x StepMs and the run starts at s = 0, time 0.  A
//   lap's time is its crossing time minus the previous lap's (the first from 0).
// - A step is off track when its Warp > PathWidth / 2.  A lap's steps are those after
//   the step that completed the previous lap, up to and including the step that
//   completes it; the lap is valid when none of them is off track.  The best lap is the
//   shortest valid one.
// - An open track has no laps; its progress is still followed.
#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/uVector.h"
#include "track/uPathIndex.h"

namespace k2 {

class TPath;
class TRecords;

// The lengths of a track's elements and where the car stands along it.
//
// Borrows the track: it must outlive the course and keep its elements unchanged until
// the next Build (the course refers to them by position, as TPathIndex does).
class TCourse {
 public:
  void Build(const TPath& track);
  int32_t Count() const { return static_cast<int32_t>(Lengths.size()); }
  bool Closed() const { return IsClosed; }
  double Length() const { return Total; }  // mm
  double ElementLength(int32_t e) const { return Lengths[static_cast<size_t>(e)]; }
  double ElementStart(int32_t e) const { return Starts[static_cast<size_t>(e)]; }  // mm
  // The length along element e of p's projection on it, in [0, ElementLength(e)].
  double Along(int32_t e, TPointF p) const;
  // The element the car follows at p after following `previous`; `scratch` holds the
  // index's answers (reused, so that a step allocates nothing once it has grown).
  int32_t Follow(int32_t previous, TPointF p, std::vector<int32_t>& scratch) const;

 private:
  int32_t NearestOfAll(TPointF p, int32_t fallback, std::vector<int32_t>& scratch) const;
  // A number never above ElementDistance(e, p), cheap enough to spare the call for a
  // neighbour that cannot be the nearest.
  double LowerBound(int32_t e, TPointF p) const;

  // What LowerBound needs of an element: a line's start and unit direction, an arc's
  // centre and radius.  The bound is that of the whole line or circle, less how far an
  // arc's end points lie off its circle (a file may put them anywhere) and a margin for
  // the distance functions' rounding.
  struct TBound {
    bool Usable = false;  // false: no bound (a point-like line, a sweep of 0, a NaN)
    bool Arc = false;
    double X = 0, Y = 0;    // line start, or arc centre
    double Ux = 0, Uy = 0;  // line direction
    double Radius = 0;
    double Slack = 0;  // mm taken off the bound
    double Scale = 0;  // magnitude of the element's coordinates, for the margin
  };

  const TPath* Track = nullptr;  // borrowed
  TPathIndex Index;
  std::vector<TBound> Bounds;
  std::vector<double> Lengths;  // mm, per element
  std::vector<double> Starts;   // mm, the sum of the lengths before each element
  double Total = 0;
  double PathWidth = 0;  // mm
  bool IsClosed = false;
};

// One completed lap.
struct TLap {
  int32_t Step = 0;   // 0-based index of the step (record) that completed it
  double EndMs = 0;   // its crossing time, ms from the start of the run
  double TimeS = 0;   // its length, s
  bool Valid = true;  // none of its steps off track
};

// The figures after one step of a run (or at its start).
struct TLapFigures {
  int32_t Laps = 0;                // completed laps
  std::optional<double> LastLapS;  // the latest completed lap's time, s
  std::optional<double> BestLapS;  // the shortest valid lap so far, s
  double LapStartS = 0;            // when the lap under way began (the latest crossing), s
  double ProgressMm = 0;           // s, mm
  int32_t OffTrackSteps = 0;       // off-track steps so far
  bool OffTrack = false;           // this step was off track
  bool LapCompleted = false;       // this step completed a lap
};

// Follows a run step by step: constant work per step (an index query only while the
// car is farther than PathWidth from its element and both neighbours), no allocation
// except when the list of laps grows beyond what Start reserved.
class TLapTracker {
 public:
  // Follows a run on `track` from its start.  The track is borrowed as by TCourse.
  void Start(const TPath& track);
  // Back to the start of a run on the same track.
  void Restart();
  // One recorded step: the car's position after it, its Warp (mm) and its length (ms).
  void AddStep(TPointF pos, float warp, int32_t stepMs);

  const TLapFigures& Figures() const { return Now; }
  const std::vector<TLap>& Laps() const { return LapList; }
  const TCourse& Course() const { return Shape; }
  int32_t Steps() const { return StepCount; }
  int32_t Element() const { return Current; }

 private:
  TCourse Shape;
  std::vector<int32_t> Scratch;
  double HalfWidth = 0;  // PathWidth / 2, mm
  // The run so far.
  TLapFigures Now;
  std::vector<TLap> LapList;
  int32_t StepCount = 0;
  int64_t TimeMs = 0;     // end of the last step
  double LapStartMs = 0;  // the latest crossing that completed a lap
  int32_t Current = 0;    // the car's element
  int32_t Net = 0;        // forward crossings less backward ones
  bool LapValid = true;   // no step of the lap under way off track
};

// The figures of a whole record, built once and read at any record cheaply (the
// replay asks at every frame and seek).
class TRecordLaps {
 public:
  // Follows the records from the start as TLapTracker does: O(records).  The track is
  // only read here.
  void Build(const TPath& track, const TRecords& records, int32_t stepMs);
  int32_t Count() const { return static_cast<int32_t>(Progress.size()); }
  // After record `index` (0 <= index < Count()); -1 gives the start of the run.
  // O(log laps).
  TLapFigures At(int32_t index) const;
  const std::vector<TLap>& Laps() const { return LapList; }
  double TrackLength() const { return Length; }
  bool Closed() const { return IsClosed; }

 private:
  std::vector<double> Progress;  // mm, per record
  // Off-track steps: one bit per record, and the count before each word of 64.
  std::vector<uint64_t> OffTrackBits;
  std::vector<int32_t> OffTrackBefore;
  std::vector<TLap> LapList;
  std::vector<double> BestUpTo;  // the best valid lap among laps 0..k, s; negative: none
  double Length = 0;
  bool IsClosed = false;
};

}  // namespace k2
