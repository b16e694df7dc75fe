#pragma once
// Point and rectangle types of the world frame and their helpers.
//
// World coordinates are millimetres, x to the right, y upwards; angles are degrees,
// counter-clockwise positive from +x.  Stored reals are 32-bit floats; helpers may
// compute in double but narrow every result to float.
#include <cstdint>

namespace k2 {

struct TPointF {
  float X = 0;
  float Y = 0;
};

// Integer pixel point.
struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

// World rectangle: Top is the larger y (world y points up).
struct TRectF {
  float Left = 0;
  float Top = 0;
  float Right = 0;
  float Bottom = 0;
};

TPointF MakePointF(float x, float y);
TRectF MakeRectF(float left, float top, float right, float bottom);

// The system's coincidence test: both coordinates closer than 0.01 (strictly).
bool PointsEqual(TPointF a, TPointF b);
// Direction from `from` to `to` in degrees, in [-180, 180]; 0 for equal points.
float DirectionAngle(TPointF from, TPointF to);
// Euclidean distance, without overflow for large values.
float PointDistance(TPointF a, TPointF b);
// Each coordinate rounded to the nearest integer, halves to even.
TPoint RoundPoint(TPointF p);

// True unless a sticks out of b on some side; touching edges count as inside.
bool RectInside(const TRectF& a, const TRectF& b);
// True when a and b do not meet; touching edges count as overlapping.
bool RectsDisjoint(const TRectF& a, const TRectF& b);

}  // namespace k2
