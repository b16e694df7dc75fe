#include "car/uSensor.h"

#include <algorithm>
#include <cmath>

#include "base/uStream.h"
#include "geometry/uConstants.h"

namespace k2 {

namespace {

bool Finite(TPointF p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// z of (b - a) x (c - b): negative when a, b, c turn clockwise (y up).
double Turn(TPointF a, TPointF b, TPointF c) {
  const double ux = static_cast<double>(b.X) - a.X, uy = static_cast<double>(b.Y) - a.Y;
  const double vx = static_cast<double>(c.X) - b.X, vy = static_cast<double>(c.Y) - b.Y;
  return ux * vy - uy * vx;
}

TRectF BoundsOf(TPointF tl, TPointF bl, TPointF tr, TPointF br) {
  return MakeRectF(std::min(tl.X, bl.X), std::max(tl.Y, tr.Y), std::max(tr.X, br.X),
                   std::min(bl.Y, br.Y));
}

bool RectIsProper(const TRectF& r) {
  return std::isfinite(r.Left) && std::isfinite(r.Top) && std::isfinite(r.Right) &&
         std::isfinite(r.Bottom) && r.Left < r.Right && r.Bottom < r.Top;
}

// 3 x 3 matrix acting on column vectors (x, y, w), row-major.
using TMatrix = std::array<double, 9>;

struct TPointD {
  double X, Y;
};

// The projective mapping carrying the unit square (0,0), (1,0), (1,1), (0,1) onto
// q[0], q[1], q[2], q[3].  The caller makes sure the quadrilateral is proper.
TMatrix SquareToQuad(const std::array<TPointD, 4>& q) {
  const double x0 = q[0].X, x1 = q[1].X, x2 = q[2].X, x3 = q[3].X;
  const double y0 = q[0].Y, y1 = q[1].Y, y2 = q[2].Y, y3 = q[3].Y;
  const double sx = x0 - x1 + x2 - x3;
  const double sy = y0 - y1 + y2 - y3;
  if (sx == 0 && sy == 0) return {x1 - x0, x2 - x1, x0, y1 - y0, y2 - y1, y0, 0, 0, 1};
  const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
  const double den = dx1 * dy2 - dx2 * dy1;
  const double g = (sx * dy2 - dx2 * sy) / den;
  const double h = (dx1 * sy - sx * dy1) / den;
  return {x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h, 1};
}

// The inverse up to a factor, which the projective division cancels.
TMatrix Adjugate(const TMatrix& m) {
  return {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
          m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
          m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
}

TPointF Apply(const TMatrix& m, double x, double y) {
  const double w = m[6] * x + m[7] * y + m[8];
  return MakePointF(static_cast<float>((m[0] * x + m[1] * y + m[2]) / w),
                    static_cast<float>((m[3] * x + m[4] * y + m[5]) / w));
}

}  // namespace

// ---- TSensor ------------------------------------------------------------------

void TSensor::SetAssembleX(int32_t x) { AssembleX = x; }
void TSensor::SetAssembleY(int32_t y) { AssembleY = y; }
void TSensor::SetAssembleZ(int32_t z) { AssembleZ = z; }

bool TSensor::LoadFromStream(TStreamReader& s) {
  AssembleX = s.ReadInt32();
  AssembleY = s.ReadInt32();
  AssembleZ = s.ReadInt32();
  return !s.Failed();
}

void TSensor::SaveToStream(TStreamWriter& s) const {
  s.WriteInt32(AssembleX);
  s.WriteInt32(AssembleY);
  s.WriteInt32(AssembleZ);
}

// ---- TLightSensor -------------------------------------------------------------

void TLightSensor::SetAssembleX(int32_t x) {
  TSensor::SetAssembleX(x);
  SenseX = AssembleX;
}

void TLightSensor::SetAssembleY(int32_t y) {
  TSensor::SetAssembleY(y);
  UpdateSenseY();
}

void TLightSensor::SetAssembleZ(int32_t z) {
  TSensor::SetAssembleZ(z);
  UpdateSenseY();
}

void TLightSensor::SetBeta(int32_t beta) {
  Beta = beta >= 90 ? 89 : beta < 0 ? 0 : beta;
  UpdateSenseY();
}

void TLightSensor::UpdateSenseY() {
  SenseY = RoundHalfEven(std::tan(Beta * DegToRad) * AssembleZ + AssembleY);
}

bool TLightSensor::LoadFromStream(TStreamReader& s) {
  TSensor::LoadFromStream(s);
  SenseX = s.ReadInt32();
  SenseY = s.ReadInt32();
  Beta = s.ReadInt32();
  EffectiveR = s.ReadInt32();
  SensorType = s.ReadUInt8();
  return !s.Failed();
}

void TLightSensor::SaveToStream(TStreamWriter& s) const {
  TSensor::SaveToStream(s);
  s.WriteInt32(SenseX);
  s.WriteInt32(SenseY);
  s.WriteInt32(Beta);
  s.WriteInt32(EffectiveR);
  s.WriteUInt8(SensorType);
}

// ---- TCCDSensor ---------------------------------------------------------------

bool QuadIsProper(TPointF topLeft, TPointF bottomLeft, TPointF topRight, TPointF bottomRight) {
  const std::array<TPointF, 4> q = {topLeft, topRight, bottomRight, bottomLeft};
  for (int i = 0; i < 4; ++i) {
    if (!Finite(q[i])) return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (!(Turn(q[(i + 3) % 4], q[i], q[(i + 1) % 4]) < 0)) return false;
  }
  return RectIsProper(BoundsOf(topLeft, bottomLeft, topRight, bottomRight));
}

void TCCDSensor::SetAssembleX(int32_t x) {
  TSensor::SetAssembleX(x);
  SenseX = AssembleX;
}

void TCCDSensor::SetAssembleY(int32_t y) {
  TSensor::SetAssembleY(y);
  UpdateSenseY();
}

void TCCDSensor::SetAssembleZ(int32_t z) {
  TSensor::SetAssembleZ(z);
  UpdateSenseY();
}

void TCCDSensor::SetAlpha(int32_t alpha) {
  Alpha = alpha <= 0 ? 1 : alpha > 90 ? 90 : alpha;
  UpdateSenseY();
}

void TCCDSensor::UpdateSenseY() {
  SenseY = RoundHalfEven(1 / std::tan(Alpha * DegToRad) * AssembleZ + AssembleY);
}

void TCCDSensor::ComputeSenseArea(TPointF topLeft, TPointF bottomLeft, TPointF topRight,
                                  TPointF bottomRight, int32_t pixelWidth, int32_t pixelHeight) {
  TopLeft = topLeft;
  BottomLeft = bottomLeft;
  TopRight = topRight;
  BottomRight = bottomRight;
  PixelWidth = pixelWidth;
  PixelHeight = pixelHeight;
  ImageQuad.fill(0);
  const bool finite =
      Finite(topLeft) && Finite(bottomLeft) && Finite(topRight) && Finite(bottomRight);
  SenseRect = finite ? BoundsOf(topLeft, bottomLeft, topRight, bottomRight) : TRectF{};
  if (!QuadIsProper(topLeft, bottomLeft, topRight, bottomRight) || pixelWidth < 1 ||
      pixelHeight < 1)
    return;

  // Area coordinates: u = X - Left, v = Top - Y (v grows towards the car, like rows).
  const auto area = [this](TPointF p) {
    return TPointD{static_cast<double>(p.X) - SenseRect.Left,
                   static_cast<double>(SenseRect.Top) - p.Y};
  };
  const TMatrix square =
      SquareToQuad({area(topLeft), area(topRight), area(bottomRight), area(bottomLeft)});
  // Pixel -> area: first scale the pixel rectangle onto the unit square.
  TMatrix m = square;
  for (int row = 0; row < 3; ++row) {
    m[row * 3 + 0] /= pixelWidth;
    m[row * 3 + 1] /= pixelHeight;
  }
  const TMatrix inverse = Adjugate(m);
  const double w = static_cast<double>(SenseRect.Right) - SenseRect.Left;
  const double h = static_cast<double>(SenseRect.Top) - SenseRect.Bottom;
  const TPointF r[4] = {Apply(inverse, 0, 0), Apply(inverse, w, 0), Apply(inverse, w, h),
                        Apply(inverse, 0, h)};
  for (const TPointF& p : r) {
    if (!Finite(p)) return;
  }
  for (int i = 0; i < 4; ++i) {
    ImageQuad[i] = r[i].X;
    ImageQuad[4 + i] = r[i].Y;
  }
}

bool TCCDSensor::HasProjection() const {
  if (PixelWidth < 1 || PixelHeight < 1 || !RectIsProper(SenseRect)) return false;
  TPointF q[4];
  for (int i = 0; i < 4; ++i) {
    q[i] = MakePointF(ImageQuad[i], ImageQuad[4 + i]);
    if (!Finite(q[i])) return false;
  }
  // Any three of four points: leave out each one in turn.
  for (int skip = 0; skip < 4; ++skip) {
    TPointF t[3];
    for (int i = 0, n = 0; i < 4; ++i)
      if (i != skip) t[n++] = q[i];
    if (Turn(t[0], t[1], t[2]) == 0) return false;
  }
  return true;
}

bool TCCDSensor::LoadFromStream(TStreamReader& s) {
  TSensor::LoadFromStream(s);
  SenseX = s.ReadInt32();
  SenseY = s.ReadInt32();
  Alpha = s.ReadInt32();
  PixelHeight = s.ReadInt32();
  PixelWidth = s.ReadInt32();
  if (PixelHeight < 1 || PixelHeight > MaxCcdPixels || PixelWidth < 1 || PixelWidth > MaxCcdPixels)
    s.Fail();

  TopLeft = s.ReadPoint();
  BottomLeft = s.ReadPoint();
  TopRight = s.ReadPoint();
  BottomRight = s.ReadPoint();
  for (float& v : ImageQuad) v = s.ReadFloat();
  SenseRect = s.ReadRect();
  return !s.Failed();
}

void TCCDSensor::SaveToStream(TStreamWriter& s) const {
  TSensor::SaveToStream(s);
  s.WriteInt32(SenseX);
  s.WriteInt32(SenseY);
  s.WriteInt32(Alpha);
  s.WriteInt32(PixelHeight);
  s.WriteInt32(PixelWidth);
  s.WritePoint(TopLeft);
  s.WritePoint(BottomLeft);
  s.WritePoint(TopRight);
  s.WritePoint(BottomRight);
  for (float v : ImageQuad) s.WriteFloat(v);
  s.WriteRect(SenseRect);
}

}  // namespace k2
