#include "geometry/uTransformRect.h"

#include <algorithm>

#include "geometry/uConstants.h"

namespace k2 {

TTransformRect::TTransformRect(int32_t viewWidth, int32_t viewHeight, float scale)
    : Scale(scale), ZoomFactor(1.0f), ViewWidth(viewWidth), ViewHeight(viewHeight) {
  UpdateVisibleRect();
}

void TTransformRect::UpdateVisibleRect() {
  const double hw = ViewWidth * MmPerPixel() / 2;
  const double hh = ViewHeight * MmPerPixel() / 2;
  VisibleRect.Left = static_cast<float>(-Offset.X - hw);
  VisibleRect.Right = static_cast<float>(-Offset.X + hw);
  VisibleRect.Top = static_cast<float>(-Offset.Y + hh);
  VisibleRect.Bottom = static_cast<float>(-Offset.Y - hh);
}

float TTransformRect::ToViewLength(float mm) const { return static_cast<float>(mm / MmPerPixel()); }

TPointF TTransformRect::WorldToView(TPointF p) const {
  const double k = MmPerPixel();
  return TPointF{static_cast<float>((static_cast<double>(p.X) + Offset.X) / k + ViewWidth / 2.0),
                 static_cast<float>(ViewHeight / 2.0 - (static_cast<double>(p.Y) + Offset.Y) / k)};
}

TPointF TTransformRect::ViewToWorld(TPoint pixel) const {
  const double k = MmPerPixel();
  return TPointF{static_cast<float>((pixel.X - ViewWidth / 2.0) * k - Offset.X),
                 static_cast<float>((ViewHeight / 2.0 - pixel.Y) * k - Offset.Y)};
}

bool TTransformRect::ContainsPoint(TPointF p) const {
  return VisibleRect.Left <= p.X && p.X <= VisibleRect.Right && VisibleRect.Bottom <= p.Y &&
         p.Y <= VisibleRect.Top;
}

bool TTransformRect::LineVisible(TPointF start, TPointF end, int32_t margin) const {
  const double m = 0.6 * margin;
  TRectF box;
  box.Left = static_cast<float>(std::min(start.X, end.X) - m);
  box.Right = static_cast<float>(std::max(start.X, end.X) + m);
  box.Top = static_cast<float>(std::max(start.Y, end.Y) + m);
  box.Bottom = static_cast<float>(std::min(start.Y, end.Y) - m);
  return !RectsDisjoint(box, VisibleRect);
}

bool TTransformRect::ArcVisible(TPointF center, float radius, int32_t margin) const {
  const double m = 0.6 * margin;
  TRectF box;
  box.Left = static_cast<float>(center.X - static_cast<double>(radius) - m);
  box.Right = static_cast<float>(center.X + static_cast<double>(radius) + m);
  box.Top = static_cast<float>(center.Y + static_cast<double>(radius) + m);
  box.Bottom = static_cast<float>(center.Y - static_cast<double>(radius) - m);
  return !RectsDisjoint(box, VisibleRect);
}

void TTransformRect::PanByPixels(int32_t dx, int32_t dy) {
  Offset.X = static_cast<float>(Offset.X - dx * MmPerPixel());
  Offset.Y = static_cast<float>(Offset.Y + dy * MmPerPixel());
  UpdateVisibleRect();
}

void TTransformRect::SetOffset(TPointF p) {
  Offset = p;
  UpdateVisibleRect();
}

void TTransformRect::FitRect(const TRectF& r) {
  Offset.X = static_cast<float>(-(static_cast<double>(r.Left) + r.Right) / 2);
  Offset.Y = static_cast<float>(-(static_cast<double>(r.Top) + r.Bottom) / 2);
  const int32_t a = RoundHalfEven((static_cast<double>(r.Right) - r.Left) / ViewWidth);
  const int32_t b = RoundHalfEven((static_cast<double>(r.Top) - r.Bottom) / ViewHeight);
  // A whole number of mm per pixel, never below 1 so that conversions stay finite.
  Scale = static_cast<float>(std::max({a, b, 1}));
  UpdateVisibleRect();
}

void TTransformRect::ResetZoom() {
  ZoomFactor = 1.0f;
  UpdateVisibleRect();
}

void TTransformRect::IncreaseZoomFactor() {
  ZoomFactor = ZoomFactor + 0.15f;
  UpdateVisibleRect();
}

void TTransformRect::DecreaseZoomFactor() {
  ZoomFactor = ZoomFactor - 0.15f;
  UpdateVisibleRect();
}

}  // namespace k2
