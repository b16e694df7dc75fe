#pragma once
// The track design page: the design view and overview of the current track, the
// element editors, the element list, zoom, and New/Open/Save/Close of track files.
//
// The page works on the shared state of its host (CurTrack, the document flags,
// CaptionBase, MinPathR, the status panes); the host outlives the page.  The page
// owns the two rasters the current track draws into, so they outlive the track.
// New, Open, Save and Close go through the shared document flow.
// Controls carry their names as objectName (btnNewPath, nedtLineX, lvPathDataList...).
#include <QImage>
#include <QString>
#include <QWidget>

#include "geometry/uVector.h"
#include "ui/uDocumentFlow.h"
#include "ui/uPageHost.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace k2 {

class TPathElement;
class TRasterView;
class TNumEdit;
class TGroupBox;

class TPathDesignPage : public QWidget, public IPage, private IDocumentPage {
  Q_OBJECT

 public:
  // The page works on the shared state of `host`, which outlives it.
  explicit TPathDesignPage(IPageHost& host, QWidget* parent = nullptr);
  ~TPathDesignPage() override;

  // ---- page state ---------------------------------------------------------
  TPointF CurrentEndPoint;    // start of the next element
  bool PathDragging = false;  // a button went down in the design view
  TPointF PathDragLast;       // design-view pixel of the previous drag step

  // ---- commands (the button handlers) ------------------------------------
  void btnNewPathClick();
  void btnOpenPathClick();
  void btnSavePathClick();
  void btnClosePathClick();
  void btnLineClick();
  void btnArcClick();
  void btnPathCloseClick();
  void btnPathDeleteClick();
  void btnPathParamClick();
  void btnZoomInClick();
  void btnZoomOutClick();
  void btnZoomDefaultClick();
  void DisableZoomButton(QPushButton* button);

  // ---- leaving the page ----------------------------------------------------
  // A modified track asks whether to save it first.
  bool ConfirmLeave(TLeaving how) override;
  // Releases the track and puts the page back into its no-track state.
  void ClosePage() override;

 private:
  // The track as the document flow sees it.
  bool HasDocument() const override;
  QString DocumentFile() const override;
  void SetDocumentFile(const QString& path) override;
  bool SaveDocument() override;
  void CreateDocument() override;
  bool LoadDocument(const QString& path) override;
  void ShowNewDocument() override;
  void ShowOpenedDocument() override;
  void DocumentSaved() override;
  void DiscardDocument() override;
  void CloseDocument() override;

  void BuildControls();
  void EnableTrackControls(bool on);
  // Sizes and clears both rasters as for a new track and creates CurTrack on them.
  void CreateTrack();
  void AddListRow(const TPathElement& e);
  void ShowPathParam();
  void ShowZoom();
  void UpdateCloseButton();
  void MarkEdited();
  // Erases the overview frame, runs `change` on the track's design transform,
  // redraws the design view and the frame.
  template <class F>
  void MoveDesignView(F change);

  void imgPathDrawMouseDown(Qt::MouseButton button, QPoint pos);
  void imgPathDrawMouseMove(Qt::MouseButtons buttons, QPoint pos);
  void imgPathDrawMouseUp(Qt::MouseButton button, QPoint pos);
  void imgPathDrawMouseLeave();
  void imgPathViewMouseDown(Qt::MouseButton button, QPoint pos);
  void lvPathDataListSelectionChanged();

  IPageHost& Host;
  TSharedState& S;
  TDocumentFlow Flow;
  QImage DrawRaster;  // shown by imgPathDraw, drawn into by CurTrack
  QImage ViewRaster;  // shown by imgPathView

  TRasterView* imgPathDraw = nullptr;
  TRasterView* imgPathView = nullptr;
  TGroupBox* grpPathParam = nullptr;
  QLabel* stxtPathParam = nullptr;
  QPushButton* btnPathParam = nullptr;
  TGroupBox* grpPathFileProcess = nullptr;
  QPushButton* btnNewPath = nullptr;
  QPushButton* btnOpenPath = nullptr;
  QPushButton* btnSavePath = nullptr;
  QPushButton* btnClosePath = nullptr;
  TGroupBox* grpPathDesignLine = nullptr;
  TNumEdit* nedtLineX = nullptr;
  TNumEdit* nedtLineY = nullptr;
  QPushButton* btnLine = nullptr;
  TGroupBox* grpPathZoom = nullptr;
  QPushButton* btnZoomOut = nullptr;
  QPushButton* btnZoomDefault = nullptr;
  QPushButton* btnZoomIn = nullptr;
  TGroupBox* grpPathDesignArc = nullptr;
  TNumEdit* nedtArcX = nullptr;
  TNumEdit* nedtArcY = nullptr;
  TNumEdit* nedtSweepAngle = nullptr;
  QPushButton* btnArc = nullptr;
  TGroupBox* grpPathDesignOther = nullptr;
  QPushButton* btnPathClose = nullptr;
  QPushButton* btnPathDelete = nullptr;
  TGroupBox* grpPathList = nullptr;
  QTableWidget* lvPathDataList = nullptr;
};

}  // namespace k2
