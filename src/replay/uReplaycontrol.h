#pragma once
// The replay page: the user opens a saved record and watches it again: plays it at one
// of six rates, pauses, stops, steps back and forward by a chosen time, seeks with the
// progress bar, reads the recorded values and graphs, and exports the steps as CSV.
//
// The page drives the replay engine (the host's CurReplay) through the host's run
// clock: ReplayTick is the clock's replay step.  It owns the four rasters the engine
// draws into, so they outlive the engine.  Controls carry their names as objectName.
#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

#include "simulation/uLaps.h"
#include "ui/uDocumentFlow.h"
#include "ui/uPageHost.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace k2 {

class TGroupBox;
class TLapPanel;
class TNumEdit;
class TRasterView;
class TScale;
class TScope;

class TReplayPage : public QWidget, public IPage, private IDocumentPage {
  Q_OBJECT

 public:
  // The page works on the shared state of `host`, which outlives it.
  explicit TReplayPage(IPageHost& host, QWidget* parent = nullptr);
  ~TReplayPage() override;

  // ---- page procedures ------------------------------------------------------
  void BeginReplayViews();
  void EndReplayViews();
  // The run clock's interval for the chosen rate, ms; 0 without a record.
  int32_t ReplayInterval() const;
  void EnableReplayControls(bool on);
  void ClearReplayReadouts();
  void ShowReplayTime();
  void RefreshReplayReadouts();
  void ShowReplayLaps();
  // The run clock's tick in replay mode.
  void ReplayTick();

  // ---- handlers -------------------------------------------------------------
  void btnReplayOpenClick();
  void btnReplayPlayClick();
  void btnReplayPauseClick();
  void btnReplayStopClick();
  void btnReplayBackClick();
  void btnReplayForwardClick();
  void btnReplayCloseClick();
  void btnReplayExportClick();
  void cbbReplayRateChange();
  void trkbrProgressMouseDown();
  void trkbrProgressMouseUp();
  void trkbrProgressChange(int position);
  std::optional<double> vrscpReplaySpeedNeedData() const;
  std::optional<double> vrscpReplayWarpNeedData() const;
  // The keys of the page: to the first and to the last step.
  void GoToStart();
  void GoToEnd();
  void PlayOrPause();

  // ---- leaving the page -------------------------------------------------------
  bool ConfirmLeave(TLeaving how) override;
  void ClosePage() override;

  TRasterView* imgReplayDraw = nullptr;
  TRasterView* imgReplayView = nullptr;
  TRasterView* imgReplaySensors = nullptr;
  TRasterView* imgReplayCCD = nullptr;
  TGroupBox* grpReplayData = nullptr;
  TNumEdit* nedtReplaySimuStep = nullptr;
  TNumEdit* nedtReplaySpeed = nullptr;
  TNumEdit* nedtReplayAcc = nullptr;
  TNumEdit* nedtReplayFrontAngle = nullptr;
  TNumEdit* nedtReplayWarp = nullptr;
  TNumEdit* nedtReplayPosX = nullptr;
  TNumEdit* nedtReplayPosY = nullptr;
  QLabel* lblReplaySpeedGraph = nullptr;
  QLabel* lblReplayWarpGraph = nullptr;
  TScope* vrscpReplaySpeed = nullptr;
  TScale* vrsclReplaySpeed = nullptr;
  TScope* vrscpReplayWarp = nullptr;
  TScale* vrsclReplayWarp = nullptr;
  QSlider* trkbrProgress = nullptr;
  QLabel* txtReplayTime = nullptr;
  TGroupBox* grpReplayControl = nullptr;
  QLabel* lblReplayRate = nullptr;
  QComboBox* cbbReplayRate = nullptr;
  QLabel* lblReplayFornBackStep = nullptr;
  TNumEdit* nedtReplayFornBackStep = nullptr;
  QPushButton* btnReplayOpen = nullptr;
  QPushButton* btnReplayBack = nullptr;
  QPushButton* btnReplayPlay = nullptr;
  QPushButton* btnReplayForward = nullptr;
  QPushButton* btnReplayPause = nullptr;
  QPushButton* btnReplayStop = nullptr;
  QPushButton* btnReplayClose = nullptr;
  QPushButton* btnReplayExport = nullptr;
  TLapPanel* grpReplayLaps = nullptr;  // "圈速" at the step shown
  TRecordLaps ReplayLaps;              // of the open record, built when it is opened
  TGroupBox* grpReplayFileNames = nullptr;
  QLabel* txtReplayRecordName = nullptr;
  QLabel* txtReplayPathName = nullptr;
  QLabel* txtReplayCarName = nullptr;
  QLabel* txtReplayJudgeName = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The record as the document flow sees it (only its open dialog is used).
  bool HasDocument() const override;
  QString DocumentFile() const override;
  void SetDocumentFile(const QString&) override {}
  bool SaveDocument() override { return false; }
  void CreateDocument() override {}
  bool LoadDocument(const QString&) override { return false; }
  void ShowNewDocument() override {}
  void ShowOpenedDocument() override {}
  void DocumentSaved() override {}
  void DiscardDocument() override {}
  void CloseDocument() override {}

  void BuildControls();
  void BuildData();
  void BuildGraphs();
  void BuildControlGroup();
  void BuildFileNames();
  void BuildKeys();
  void SetGraphsActive(bool on);
  void SetGraphColours(bool on);
  void DrawCurrent();  // DrawFrame as one batch of the four views
  // Runs `move` with the clock paused for its duration, then draws the new step and
  // shows its time.
  template <class F>
  void MoveWhilePaused(F move);
  // Stops the replay and lets go of the record: the page returns to its closed state.
  void DiscardReplay();

  IPageHost& Host;
  TSharedState& S;
  TDocumentFlow Flow;
  QImage DrawRaster, ViewRaster, SensorRaster, CcdRaster;
  bool ShowingTime = false;  // the progress bar is being set to show the time
  QLabel* lblReplayFornBackStepUnit = nullptr;
};

}  // namespace k2
