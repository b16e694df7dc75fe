#include "geometry/uVector.h"

#include <cmath>

#include "geometry/uConstants.h"

namespace k2 {

TPointF MakePointF(float x, float y) { return TPointF{x, y}; }

TRectF MakeRectF(float left, float top, float right, float bottom) {
  return TRectF{left, top, right, bottom};
}

bool PointsEqual(TPointF a, TPointF b) {
  return std::fabs(a.X - b.X) < 0.01f && std::fabs(a.Y - b.Y) < 0.01f;
}

float DirectionAngle(TPointF from, TPointF to) {
  const double dy = static_cast<double>(to.Y) - from.Y;
  const double dx = static_cast<double>(to.X) - from.X;
  return static_cast<float>(std::atan2(dy, dx) * RadToDeg);
}

float PointDistance(TPointF a, TPointF b) {
  return static_cast<float>(
      std::hypot(static_cast<double>(a.X) - b.X, static_cast<double>(a.Y) - b.Y));
}

TPoint RoundPoint(TPointF p) { return TPoint{RoundHalfEven(p.X), RoundHalfEven(p.Y)}; }

bool RectInside(const TRectF& a, const TRectF& b) {
  return !(a.Left < b.Left || a.Right > b.Right || a.Top > b.Top || a.Bottom < b.Bottom);
}

bool RectsDisjoint(const TRectF& a, const TRectF& b) {
  return a.Left > b.Right || a.Right < b.Left || a.Bottom > b.Top || a.Top < b.Bottom;
}

}  // namespace k2
