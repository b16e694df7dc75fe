#pragma once
// The track design page: the design view and overview of the current track, the
// element editors, the element list, zoom, and New/Open/Save/Close of track files.
//
// The page works on the shared state of its TwdMain (CurTrack, the document flags,
// CaptionBase, MinPathR, the status panes); the window outlives the page.  The page
// owns the two rasters the current track draws into, so they outlive the track.
// Controls carry their names as objectName (btnNewPath, nedtLineX, lvPathDataList...).
#include <QImage>
#include <QString>
#include <QWidget>

#include "geometry/uVector.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace k2 {

class TwdMain;
class TPathElement;
class TRasterView;
class TNumEdit;
class TGroupBox;

class TPathDesignPage : public QWidget {
  Q_OBJECT

 public:
  // The page works on the shared state of `main`, which outlives it.
  explicit TPathDesignPage(TwdMain* main, QWidget* parent = nullptr);
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

  // ---- used when the page is left ----------------------------------------
  // The unsaved-work guard: asks about a modified track (caption `caption`, last
  // question `question`) and saves it when told to.  False when the action stops.
  bool GuardUnsavedWork(const QString& caption, const QString& question);
  // Releases the track and puts the page back into its no-track state.
  void ClosePathPage();

 private:
  void BuildControls();
  void EnableTrackControls(bool on);
  bool SaveForPrompt();
  // Asks for a file name to save the current track under; empty when cancelled.
  QString AskSaveFileName();
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

  TwdMain* Main;
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
