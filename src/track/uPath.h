#pragma once
// The track: an ordered chain of line and arc elements of the centre line, its three
// parameters, its bounds and the two view transforms it is drawn with.  Also the
// element building rules of the track page and the two distance functions.
//
// Ownership: a TPath owns its elements and both transforms.  The two rasters it
// draws into belong to whoever created the track (a page or an engine) and must
// outlive it; either may be null, in which case the track is not drawn there.
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/uTransformRect.h"
#include "geometry/uVector.h"

namespace k2 {

class TStreamReader;
class TStreamWriter;

class TPathElement {
 public:
  virtual ~TPathElement() = default;
  uint8_t Kind = 0;  // 0 line, 1 arc; fixed by the concrete class
  TPointF StartPoint;
  TPointF EndPoint;

  // Reads the element's fields after its Kind byte; false when the stream ends early.
  virtual bool LoadFromStream(TStreamReader& s);
  // Writes Kind and the element's fields.
  virtual void SaveToStream(TStreamWriter& s) const;

 protected:
  explicit TPathElement(uint8_t kind) : Kind(kind) {}
};

class TLineData : public TPathElement {
 public:
  TLineData() : TPathElement(0) {}
  TLineData(TPointF start, TPointF end) : TPathElement(0) {
    StartPoint = start;
    EndPoint = end;
  }
};

class TArcData : public TPathElement {
 public:
  TArcData() : TPathElement(1) {}
  TPointF Center;
  float Radius = 0;        // mm, distance Center..StartPoint
  float StartAngle = 0;    // degrees, direction Center -> StartPoint, in [-180, 180]
  int32_t SweepAngle = 0;  // whole degrees, > 0 counter-clockwise; never 0 from the editor

  bool LoadFromStream(TStreamReader& s) override;
  void SaveToStream(TStreamWriter& s) const override;
};

// Sizes used for a view whose raster is absent (an engine without views).
constexpr int32_t DefaultDesignViewSize = 558;
constexpr int32_t DefaultOverviewSize = 140;

// Colours of the track views (ARGB).
constexpr QRgb DesignBackground = 0xFFE0E0FF;
constexpr QRgb OverviewBackground = 0xFFFFFFFF;

class TPath {
 public:
  // drawSpan / viewSpan: mm shown across each view at zoom 1.  Reads the defaults of
  // PathWidth, LineWidth and Miu from the model settings file.
  TPath(QImage* drawImage, int32_t drawSpan, QImage* viewImage, int32_t viewSpan);
  ~TPath();
  TPath(const TPath&) = delete;
  TPath& operator=(const TPath&) = delete;

  std::vector<std::unique_ptr<TPathElement>> Elements;
  QString FileName;
  int32_t LineWidth = 30;   // mm
  int32_t PathWidth = 300;  // mm
  float Miu = 0.01f;
  TRectF Bounds;                // covers every element (whole circles for arcs) and the origin
  QImage* DrawImage = nullptr;  // not owned
  QImage* ViewImage = nullptr;  // not owned
  std::unique_ptr<TTransformRect> DrawTransform;
  std::unique_ptr<TTransformRect> ViewTransform;

  void Clear();  // frees the elements; Bounds unchanged
  void DeleteElement(int index);
  // Appends the element, grows the bounds, keeps the design view inside the overview
  // and redraws both views.
  void AddLine(std::unique_ptr<TLineData> line);
  void AddArc(std::unique_ptr<TArcData> arc);
  void ExtendBoundsByLine(const TLineData& line);
  void ExtendBoundsByArc(const TArcData& arc);
  void FitOverview();
  void ClampDrawView();
  // Deletes elements k..end, rebuilds Bounds and clamps the design view.  Returns the
  // new end point of the track (the origin when no element remains).
  TPointF DeleteFrom(int k);
  // EndPoint of the last element, or the origin.
  TPointF LastEndPoint() const;
  // Last EndPoint equals the origin under PointsEqual.
  bool IsClosed() const;

  void ReadDefaults();
  // Files are written through a temporary file and a rename; false on failure.
  bool SaveToFile() const;
  // False for a missing file, a wrong head, or a body that ends early or holds an
  // implausible count; the track is then left without elements.
  bool LoadFromFile();
  void SaveToStream(TStreamWriter& s) const;
  bool LoadFromStream(TStreamReader& s);

  // Drawing into the two rasters (a no-op for a null raster).
  void DrawDesignView(bool withAxes);
  void DrawAxes();
  void DrawOverview(bool withFrame);
  void DrawOverviewFrame();
  void MarkOverviewPoint(TPointF p, int32_t r);
};

// Distances from P to an element's centre line, mm, never negative.
float LineDistance(const TLineData& line, TPointF p);
// An arc with SweepAngle 0 (only possible from a file) gives the distance to its start.
float ArcDistance(const TArcData& arc, TPointF p);
// Either of the two, by Kind.
float ElementDistance(const TPathElement& e, TPointF p);

// The building rules of the track page.  On rejection they return null and set
// `error` to the rule's message; the caller shows it.
std::unique_ptr<TLineData> BuildLine(TPointF currentEnd, float x, float y, QString& error);
std::unique_ptr<TArcData> BuildArc(TPointF currentEnd, float cx, float cy, int32_t sweep,
                                   int32_t minPathR, QString& error);
// The closing line back to the origin (the caller only offers it while the track is open).
std::unique_ptr<TLineData> BuildCloseLine(TPointF currentEnd);

// Messages of the building rules.
inline const char* const MsgEndEqualsStart = "终止点与起始点重合！";
inline const char* const MsgCenterEqualsStart = "圆心与起始点重合！";
inline const char* const MsgNoSweep = "请输入弧扫过角度！";
inline const char* const MsgRadiusTooSmall = "赛道半径小于规则最小半径！";

}  // namespace k2
