#include "simulation/uLaps.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <limits>

#include "geometry/uConstants.h"
#include "simulation/uRecord.h"
#include "track/uPath.h"

namespace k2 {

namespace {

// Laps a run is expected to hold at most without growing the list.
constexpr size_t ReservedLaps = 256;

double LineAlong(const TPathElement& line, TPointF p, double length) {
  if (!(length > 0)) return 0;
  const double dx = static_cast<double>(line.EndPoint.X) - line.StartPoint.X;
  const double dy = static_cast<double>(line.EndPoint.Y) - line.StartPoint.Y;
  const double px = static_cast<double>(p.X) - line.StartPoint.X;
  const double py = static_cast<double>(p.Y) - line.StartPoint.Y;
  return (px * dx + py * dy) / length;
}

// As ArcDistance measures it: the angle from the arc's start to p, in the sweep's sense,
// within one turn; a point outside the sweep projects to the nearer end.
double ArcAlong(const TArcData& arc, TPointF p, double length) {
  if (arc.SweepAngle == 0) return 0;
  const double sweep = std::fabs(static_cast<double>(arc.SweepAngle));
  double c =
      std::atan2(static_cast<double>(p.Y) - arc.Center.Y, static_cast<double>(p.X) - arc.Center.X) *
          RadToDeg -
      arc.StartAngle;
  if (arc.SweepAngle < 0) c = -c;
  c = std::fmod(c, 360.0);
  if (c < 0) c += 360;
  if (c <= sweep) return length * (c / sweep);
  // Past the end by c - sweep, short of the start by 360 - c; ties go to the start.
  return c - sweep < 360 - c ? length : 0;
}

// What the distance functions may come out below the true distance: they work through
// float angles in degrees, so their error grows with the size of the coordinates (the
// track index allows the same).
double RoundingMargin(double magnitude) { return 1e-4 * magnitude + 0.05; }

double Magnitude(TPointF p) { return std::max(std::fabs(p.X), std::fabs(p.Y)); }

}  // namespace

// ---- the course -------------------------------------------------------------

void TCourse::Build(const TPath& track) {
  Track = &track;
  Index.Build(track);
  const size_t n = track.Elements.size();
  Lengths.assign(n, 0);
  Starts.assign(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    const TPathElement& e = *track.Elements[i];
    if (e.Kind == 1) {
      const auto& arc = static_cast<const TArcData&>(e);
      Lengths[i] = static_cast<double>(arc.Radius) *
                   std::fabs(static_cast<double>(arc.SweepAngle)) * Pi / 180;
    } else {
      Lengths[i] = std::hypot(static_cast<double>(e.EndPoint.X) - e.StartPoint.X,
                              static_cast<double>(e.EndPoint.Y) - e.StartPoint.Y);
    }
    // A NaN or infinite coordinate from a file must not poison every progress after it.
    if (!std::isfinite(Lengths[i])) Lengths[i] = 0;
    Starts[i + 1] = Starts[i] + Lengths[i];
  }
  Bounds.assign(n, TBound{});
  for (size_t i = 0; i < n; ++i) {
    const TPathElement& e = *track.Elements[i];
    TBound& b = Bounds[i];
    b.Scale = std::max(Magnitude(e.StartPoint), Magnitude(e.EndPoint));
    if (e.Kind == 1) {
      const auto& arc = static_cast<const TArcData&>(e);
      b.Arc = true;
      b.X = arc.Center.X;
      b.Y = arc.Center.Y;
      b.Radius = arc.Radius;
      // ArcDistance measures to the circle inside the sweep and to the end points
      // outside it; an end point off the circle by x can be that much nearer.
      const auto off = [&](TPointF q) {
        return std::fabs(std::hypot(q.X - b.X, q.Y - b.Y) - b.Radius);
      };
      b.Slack = std::max(off(arc.StartPoint), off(arc.EndPoint));
      b.Scale = std::max(b.Scale, Magnitude(arc.Center) + std::fabs(b.Radius));
      b.Usable = arc.SweepAngle != 0 && arc.Radius > 0;
    } else {
      b.X = e.StartPoint.X;
      b.Y = e.StartPoint.Y;
      const double dx = static_cast<double>(e.EndPoint.X) - b.X;
      const double dy = static_cast<double>(e.EndPoint.Y) - b.Y;
      const double length = std::hypot(dx, dy);
      b.Usable = length > 0;
      if (b.Usable) {
        b.Ux = dx / length;
        b.Uy = dy / length;
      }
    }
    b.Usable = b.Usable && std::isfinite(b.X) && std::isfinite(b.Y) && std::isfinite(b.Ux) &&
               std::isfinite(b.Uy) && std::isfinite(b.Slack) && std::isfinite(b.Scale);
  }
  Total = Starts[n];
  PathWidth = track.PathWidth;
  IsClosed = track.IsClosed();
}

double TCourse::Along(int32_t e, TPointF p) const {
  const TPathElement& element = *Track->Elements[static_cast<size_t>(e)];
  const double length = ElementLength(e);
  const double along = element.Kind == 1
                           ? ArcAlong(static_cast<const TArcData&>(element), p, length)
                           : LineAlong(element, p, length);
  if (!(along > 0)) return 0;  // also NaN, from a position that is not a number
  return std::min(along, length);
}

double TCourse::LowerBound(int32_t e, TPointF p) const {
  const TBound& b = Bounds[static_cast<size_t>(e)];
  if (!b.Usable) return -1;
  const double px = static_cast<double>(p.X) - b.X, py = static_cast<double>(p.Y) - b.Y;
  const double d =
      b.Arc ? std::fabs(b.Radius - std::hypot(px, py)) : std::fabs(px * b.Uy - py * b.Ux);
  return d - b.Slack - RoundingMargin(b.Scale + Magnitude(p));
}

int32_t TCourse::Follow(int32_t previous, TPointF p, std::vector<int32_t>& scratch) const {
  const int32_t n = Count();
  if (n == 0) return 0;
  const int32_t before = IsClosed ? (previous + n - 1) % n : std::max(previous - 1, 0);
  const int32_t after = IsClosed ? (previous + 1) % n : std::min(previous + 1, n - 1);
  // Nearest first, ties to the lower index; a NaN distance is never the answer.
  float best = std::numeric_limits<float>::infinity();
  int32_t nearest = -1;
  const auto consider = [&](int32_t e) {
    const float d = ElementDistance(*Track->Elements[static_cast<size_t>(e)], p);
    if (d < best || (d == best && e < nearest)) {
      best = d;
      nearest = e;
    }
  };
  // The previous element first: usually the car is still on it, and its distance then
  // rules out the neighbours by their bounds alone.
  consider(previous);
  for (int32_t e : {before, after})
    if (e != previous && !(LowerBound(e, p) > best)) consider(e);
  if (nearest < 0) nearest = previous;
  if (best <= PathWidth) return nearest;
  return NearestOfAll(p, previous, scratch);
}

int32_t TCourse::NearestOfAll(TPointF p, int32_t fallback, std::vector<int32_t>& scratch) const {
  if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return fallback;  // nearest to nothing
  float best = std::numeric_limits<float>::infinity();
  int32_t nearest = -1;
  // Look near p first and further only while nothing found is within the search's
  // reach: every element left out is then farther than the nearest one.
  double reach = std::max(2 * PathWidth, 100.0);
  for (;;) {
    Index.Near(p, reach, scratch);
    for (int32_t e : scratch) {
      const float d = ElementDistance(*Track->Elements[static_cast<size_t>(e)], p);
      if (d < best || (d == best && e < nearest)) {
        best = d;
        nearest = e;
      }
    }
    if (best <= reach || std::isinf(reach)) return nearest < 0 ? fallback : nearest;
    reach = reach < 1e30 ? reach * 4 : std::numeric_limits<double>::infinity();
  }
}

// ---- the tracker ------------------------------------------------------------

void TLapTracker::Start(const TPath& track) {
  Shape.Build(track);
  HalfWidth = track.PathWidth / 2.0;
  LapList.reserve(ReservedLaps);
  Scratch.reserve(track.Elements.size());
  Restart();
}

void TLapTracker::Restart() {
  Now = TLapFigures{};
  LapList.clear();
  StepCount = 0;
  TimeMs = 0;
  LapStartMs = 0;
  Current = 0;
  Net = 0;
  LapValid = true;
}

void TLapTracker::AddStep(TPointF pos, float warp, int32_t stepMs) {
  const double before = Now.ProgressMm;
  const int32_t previous = Current;
  const int64_t startMs = TimeMs;
  ++StepCount;
  TimeMs += stepMs;
  Now.LapCompleted = false;
  Now.OffTrack = warp > HalfWidth;
  if (Now.OffTrack) {
    ++Now.OffTrackSteps;
    LapValid = false;
  }
  const int32_t n = Shape.Count();
  if (n == 0) return;
  Current = Shape.Follow(previous, pos, Scratch);
  const double s = Shape.ElementStart(Current) + Shape.Along(Current, pos);
  Now.ProgressMm = s;
  if (!Shape.Closed()) return;

  const double length = Shape.Length();
  int32_t crossing = 0;  // +1 forwards over the start line, -1 backwards
  if (n >= 3) {
    if (previous == n - 1 && Current == 0) crossing = 1;
    if (previous == 0 && Current == n - 1) crossing = -1;
  } else {
    // Going from the last element to element 0 is also the way round a two-element
    // track, and a one-element track never changes element: the jump of s tells.
    const bool wraps = n == 1 || previous != Current;
    if (wraps && (before - s) * 2 > length) crossing = 1;
    if (wraps && (s - before) * 2 > length) crossing = -1;
  }
  if (crossing == 0) return;
  Net += crossing;
  if (Net <= Now.Laps) return;  // back over the line and forwards again: no new lap

  const double ahead = length - before;  // what was left of the lap, mm
  const double span = ahead + s;         // driven in this step across the line, mm
  const double fraction = span > 0 ? std::clamp(ahead / span, 0.0, 1.0) : 0.0;
  TLap lap;
  lap.Step = StepCount - 1;
  lap.EndMs = static_cast<double>(startMs) + stepMs * fraction;
  lap.TimeS = (lap.EndMs - LapStartMs) / 1000;
  lap.Valid = LapValid;
  LapList.push_back(lap);
  LapStartMs = lap.EndMs;
  LapValid = true;
  ++Now.Laps;
  Now.LapCompleted = true;
  Now.LastLapS = lap.TimeS;
  Now.LapStartS = lap.EndMs / 1000;
  if (lap.Valid && (!Now.BestLapS || lap.TimeS < *Now.BestLapS)) Now.BestLapS = lap.TimeS;
}

// ---- a whole record ---------------------------------------------------------

void TRecordLaps::Build(const TPath& track, const TRecords& records, int32_t stepMs) {
  TLapTracker tracker;
  tracker.Start(track);
  const int32_t count = records.Count();
  const size_t words = (static_cast<size_t>(count) + 63) / 64;
  Progress.assign(static_cast<size_t>(count), 0);
  OffTrackBits.assign(words, 0);
  OffTrackBefore.assign(words, 0);
  for (int32_t i = 0; i < count; ++i) {
    const size_t k = static_cast<size_t>(i);
    if (k % 64 == 0) OffTrackBefore[k / 64] = tracker.Figures().OffTrackSteps;
    tracker.AddStep(records.Position(i), records.Fields(i)[6], stepMs);
    Progress[k] = tracker.Figures().ProgressMm;
    if (tracker.Figures().OffTrack) OffTrackBits[k / 64] |= uint64_t{1} << (k % 64);
  }
  LapList = tracker.Laps();
  BestUpTo.assign(LapList.size(), -1);
  double best = -1;
  for (size_t k = 0; k < LapList.size(); ++k) {
    if (LapList[k].Valid && (best < 0 || LapList[k].TimeS < best)) best = LapList[k].TimeS;
    BestUpTo[k] = best;
  }
  Length = tracker.Course().Length();
  IsClosed = tracker.Course().Closed();
}

TLapFigures TRecordLaps::At(int32_t index) const {
  TLapFigures f;
  if (index < 0 || Progress.empty()) return f;
  const size_t i = static_cast<size_t>(std::min(index, Count() - 1));
  f.ProgressMm = Progress[i];
  const uint64_t upTo = OffTrackBits[i / 64] & (~uint64_t{0} >> (63 - i % 64));
  f.OffTrackSteps = OffTrackBefore[i / 64] + static_cast<int32_t>(std::bitset<64>(upTo).count());
  f.OffTrack = (upTo >> (i % 64)) & 1;
  const auto done = std::upper_bound(LapList.begin(), LapList.end(), static_cast<int32_t>(i),
                                     [](int32_t step, const TLap& lap) { return step < lap.Step; });
  f.Laps = static_cast<int32_t>(done - LapList.begin());
  if (f.Laps == 0) return f;
  const TLap& last = *(done - 1);
  f.LastLapS = last.TimeS;
  f.LapStartS = last.EndMs / 1000;
  f.LapCompleted = last.Step == static_cast<int32_t>(i);
  if (BestUpTo[static_cast<size_t>(f.Laps - 1)] >= 0)
    f.BestLapS = BestUpTo[static_cast<size_t>(f.Laps - 1)];
  return f;
}

}  // namespace k2
