#pragma once
// Mapping between world millimetres and the pixels of one raster view, with zoom.
//
// View pixels have y downwards; the flip happens only in WorldToView / ViewToWorld.
// Invariant kept by the callers: Scale * ZoomFactor > 0.  FitRect never sets Scale
// below 1 mm per pixel, so a fitted view can never divide by zero.
#include <cstdint>

#include "geometry/uVector.h"

namespace k2 {

class TTransformRect {
 public:
  TTransformRect(int32_t viewWidth, int32_t viewHeight, float scale);

  TPointF Offset;          // world point at the view centre is (-Offset.X, -Offset.Y)
  float Scale = 1;         // mm per pixel at ZoomFactor 1
  float ZoomFactor = 1;    // > 1 shows more of the world
  int32_t ViewWidth = 0;   // pixels
  int32_t ViewHeight = 0;  // pixels
  TRectF VisibleRect;      // derived; recomputed after every change above

  void UpdateVisibleRect();
  // World length in mm -> view pixels.
  float ToViewLength(float mm) const;
  // Not rounded: drawing takes real coordinates.
  TPointF WorldToView(TPointF p) const;
  TPointF ViewToWorld(TPoint pixel) const;
  bool ContainsPoint(TPointF p) const;
  // Visibility of a line element's box, grown by 0.6 x margin (mm) on every side.
  bool LineVisible(TPointF start, TPointF end, int32_t margin) const;
  // Visibility of the box of a whole circle (not only the swept part), grown likewise.
  bool ArcVisible(TPointF center, float radius, int32_t margin) const;

  void PanByPixels(int32_t dx, int32_t dy);
  void SetOffset(TPointF p);
  // Centres on r and picks a whole number of mm per pixel (at least 1) that shows it.
  void FitRect(const TRectF& r);
  void ResetZoom();
  void IncreaseZoomFactor();
  void DecreaseZoomFactor();

 private:
  double MmPerPixel() const { return static_cast<double>(Scale) * ZoomFactor; }
};

}  // namespace k2
