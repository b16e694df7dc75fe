#pragma once
// Deterministic random tracks and query points for property tests of the spatial
// index and of the code that relies on it.  Every track is chained by the track page's
// building rules (BuildLine / BuildArc) from the origin, as a drawn track is; elements
// that a crafted file could hold are made directly.  The generator is always given a
// fixed seed, so a failure names a case that repeats exactly.
#include <QString>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "track/uPath.h"

namespace k2::test {

inline constexpr double RandomPi = 3.14159265358979323846;

// The shape of a family of random tracks.
struct TTrackShape {
  int32_t Elements;     // elements per track
  double Step;          // typical line length and arc radius, mm
  double Offset;        // a first line leads this far from the origin, mm (0: none)
  double ArcShare;      // share of arcs among the elements, 0..1
  int32_t MaxSweep;     // |sweep| of an arc up to this many whole degrees
  double RadiusFactor;  // an arc's radius up to this many times Step
};

inline double Uniform(std::mt19937& rng, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(rng);
}
inline int32_t UniformInt(std::mt19937& rng, int32_t lo, int32_t hi) {
  return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
}

// A track without views (the index and the sampling never look at them).
inline std::unique_ptr<TPath> RandomTrack(std::mt19937& rng, const TTrackShape& shape) {
  auto track = std::make_unique<TPath>(nullptr, 3000, nullptr, 6000);
  TPointF end;
  QString error;
  const auto addLine = [&](float x, float y) {
    auto line = BuildLine(end, x, y, error);
    if (!line) return false;
    end = line->EndPoint;
    track->ExtendBoundsByLine(*line);
    track->Elements.push_back(std::move(line));
    return true;
  };
  if (shape.Offset > 0) {
    const double a = Uniform(rng, -RandomPi, RandomPi);
    addLine(static_cast<float>(shape.Offset * std::cos(a)),
            static_cast<float>(shape.Offset * std::sin(a)));
  }
  while (static_cast<int32_t>(track->Elements.size()) < shape.Elements) {
    const double a = Uniform(rng, -RandomPi, RandomPi);
    if (Uniform(rng, 0, 1) < shape.ArcShare) {
      const double r = shape.Step * Uniform(rng, 0.05, shape.RadiusFactor);
      int32_t sweep = UniformInt(rng, -shape.MaxSweep, shape.MaxSweep);
      if (sweep == 0) sweep = 1;
      auto arc = BuildArc(end, static_cast<float>(end.X + r * std::cos(a)),
                          static_cast<float>(end.Y + r * std::sin(a)), sweep, 0, error);
      if (!arc) continue;  // the centre fell on the start point
      end = arc->EndPoint;
      track->ExtendBoundsByArc(*arc);
      track->Elements.push_back(std::move(arc));
    } else {
      const double len = shape.Step * Uniform(rng, 0.02, 2);
      addLine(static_cast<float>(end.X + len * std::cos(a)),
              static_cast<float>(end.Y + len * std::sin(a)));
    }
  }
  return track;
}

// An arc with every field given, as a file may hold it.
inline std::unique_ptr<TArcData> CraftedArc(TPointF start, TPointF end, TPointF centre,
                                            float radius, float startAngle, int32_t sweep) {
  auto arc = std::make_unique<TArcData>();
  arc->StartPoint = start;
  arc->EndPoint = end;
  arc->Center = centre;
  arc->Radius = radius;
  arc->StartAngle = startAngle;
  arc->SweepAngle = sweep;
  return arc;
}

// Query points for a track: on and beside its elements at distances from none to far,
// its end points and arc centres exactly, anywhere over its extent, and far outside it.
inline std::vector<TPointF> QueryPoints(std::mt19937& rng, const TPath& track, int32_t count) {
  std::vector<TPointF> points;
  double left = 0, right = 0, bottom = 0, top = 0;
  for (const auto& e : track.Elements)
    for (TPointF p : {e->StartPoint, e->EndPoint}) {
      left = std::min(left, static_cast<double>(p.X));
      right = std::max(right, static_cast<double>(p.X));
      bottom = std::min(bottom, static_cast<double>(p.Y));
      top = std::max(top, static_cast<double>(p.Y));
    }
  const double extent = std::max({right - left, top - bottom, 1.0});
  const double jitters[] = {0, 1e-3, 0.3, 15, 100, 1000};
  const auto pt = [](double x, double y) {
    return TPointF{static_cast<float>(x), static_cast<float>(y)};
  };
  while (static_cast<int32_t>(points.size()) < count) {
    const TPathElement& e = *track.Elements[static_cast<size_t>(
        UniformInt(rng, 0, static_cast<int32_t>(track.Elements.size()) - 1))];
    const double jitter = jitters[UniformInt(rng, 0, 5)] * Uniform(rng, -1, 1);
    switch (UniformInt(rng, 0, 5)) {
      case 0:
      case 1:  // beside the element
        if (e.Kind == 1) {
          const auto& a = static_cast<const TArcData&>(e);
          const double t = (a.StartAngle + Uniform(rng, -0.2, 1.2) * a.SweepAngle) * RandomPi / 180;
          const double r = a.Radius + jitter;
          points.push_back(pt(a.Center.X + r * std::cos(t), a.Center.Y + r * std::sin(t)));
        } else {
          const double t = Uniform(rng, -0.2, 1.2);
          const double dx = e.EndPoint.X - e.StartPoint.X, dy = e.EndPoint.Y - e.StartPoint.Y;
          const double len = std::max(std::hypot(dx, dy), 1e-9);
          points.push_back(pt(e.StartPoint.X + t * dx - jitter * dy / len,
                              e.StartPoint.Y + t * dy + jitter * dx / len));
        }
        break;
      case 2:  // an end point or a centre, exactly or nearly
        if (e.Kind == 1 && UniformInt(rng, 0, 2) == 0)
          points.push_back(static_cast<const TArcData&>(e).Center);
        else
          points.push_back(UniformInt(rng, 0, 1) ? e.StartPoint : e.EndPoint);
        if (jitter != 0) points.back() = pt(points.back().X + jitter, points.back().Y - jitter);
        break;
      case 3:
      case 4:  // anywhere over the track's extent, grown by a tenth
        points.push_back(pt(Uniform(rng, left - extent / 10, right + extent / 10),
                            Uniform(rng, bottom - extent / 10, top + extent / 10)));
        break;
      default: {  // far outside
        const double d = extent * std::pow(10.0, Uniform(rng, 0.5, 6));
        const double a = Uniform(rng, -RandomPi, RandomPi);
        points.push_back(
            pt((left + right) / 2 + d * std::cos(a), (bottom + top) / 2 + d * std::sin(a)));
      }
    }
  }
  return points;
}

}  // namespace k2::test
