#pragma once
// The simulation page: the user enters simulation mode, loads a track, a car and a
// decision module, sets the step, starts, pauses and stops the run, watches it in four
// views, two strip charts and the readouts, and saves the result as a record file.
//
// The page drives the simulation engine (the host's CurSimu) through the host's run
// clock: SimuTick is the clock's simulation step.  It owns the four rasters the engine
// draws into, so they outlive the engine.  The record goes through the document flow.
// Controls carry their names as objectName (btnEnterSimu, nedtSimuSpeed, ...).
#include <QElapsedTimer>
#include <optional>
#include <QImage>
#include <QString>
#include <QWidget>

#include "ui/uDocumentFlow.h"
#include "ui/uPageHost.h"

class QLCDNumber;
class QLabel;
class QLineEdit;
class QPushButton;

namespace k2 {

class TGroupBox;
class TLapPanel;
class TNumEdit;
class TRasterView;
class TScale;
class TScope;

class TSimuPage : public QWidget, public IPage, private IDocumentPage {
  Q_OBJECT

 public:
  // The page works on the shared state of `host`, which outlives it.
  explicit TSimuPage(IPageHost& host, QWidget* parent = nullptr);
  ~TSimuPage() override;

  // ---- page procedures ------------------------------------------------------
  void EnableSimuPage(bool on);
  void ClearSimuPage();
  void ReadySimuPage();
  void StopSimuTimer();
  void BeginSimuViews();
  void EndSimuViews();

  // ---- handlers -------------------------------------------------------------
  void btnEnterSimuClick();
  void btnSimuLoadPathClick();
  void btnSimuLoadCarClick();
  void btnSimuLoadJudgeClick();
  void btnSimuStartClick();
  void btnSimuPauseClick();
  void btnSimuStopClick();
  void btnSaveSimuResultClick();
  void btnExitSimuClick();
  std::optional<double> vrscpSimuSpeedNeedData() const;
  std::optional<double> vrscpSimuWarpNeedData() const;
  // The run clock's tick in simulation mode.
  void SimuTick();

  // ---- leaving the page -------------------------------------------------------
  bool ConfirmLeave(TLeaving how) override;
  void ClosePage() override;

  bool SimuStopped = false;  // after Stop: the next Start begins a fresh record list

 Q_SIGNALS:
  // What the decision module prints, line by line, and when a module is loaded afresh.
  void JudgeOutputLine(const QString& line);
  void JudgeOutputCleared();

 private:
  // The record as the document flow sees it.
  bool HasDocument() const override;
  QString DocumentFile() const override;
  void SetDocumentFile(const QString& path) override;
  QString ProposedFile() const override;
  bool SaveDocument() override;
  void CreateDocument() override {}
  bool LoadDocument(const QString&) override { return false; }
  void ShowNewDocument() override {}
  void ShowOpenedDocument() override {}
  void DocumentSaved() override;
  void DiscardDocument() override {}
  void CloseDocument() override;

  void BuildControls();
  void BuildReadouts();
  void BuildCharts();
  void BuildGroups();
  // Loads one of the three files; `which` 0 track, 1 car, 2 decision module.
  void LoadFile(int which);
  // Runs Prepare with the views as one batch; false when the module's Reset failed (it
  // is then released, as a module that cannot be loaded).
  bool PrepareViews();
  void FollowEngine();  // the run buttons as the engine's readiness says
  void ShowReadouts();
  void ShowTime(double seconds);
  void SetChartColours(bool on);
  // Saves the record as "保存结果" does: false when cancelled or failed.
  TSaveResult SaveRecord();
  // The run's pace against real time, shown while it falls behind.
  void ShowPace();
  void ResetPace();
  void ShowLapCompleted();
  void ShowRunStatus();  // the pace and the latest lap on the status bar

  IPageHost& Host;
  TSharedState& S;
  TDocumentFlow Flow;
  QImage DrawRaster, ViewRaster, SensorRaster, CcdRaster;
  QElapsedTimer PaceClock;
  int64_t PaceStartMs = 0;  // simulated time when PaceClock started
  QString PaceStatus;       // "仿真速度：…" while the run is slower than real time
  QString LapStatus;        // the latest completed lap

 public:
  TRasterView* imgSimuDraw = nullptr;
  TRasterView* imgSimuView = nullptr;
  TRasterView* imgSimuSensors = nullptr;
  TRasterView* imgSimuCCD = nullptr;
  QLCDNumber* vrdgtgrpSimuTime = nullptr;
  TNumEdit* nedtSimuSpeed = nullptr;
  TNumEdit* nedtSimuAcc = nullptr;
  TNumEdit* nedtSimuFrontAngle = nullptr;
  TNumEdit* nedtSimuWarp = nullptr;
  TNumEdit* nedtSimuPosX = nullptr;
  TNumEdit* nedtSimuPosY = nullptr;
  TLapPanel* grpSimuLaps = nullptr;  // "圈速", beside the CCD view
  TScope* vrscpSimuSpeed = nullptr;
  TScale* vrsclSimuSpeed = nullptr;
  TScope* vrscpSimuWarp = nullptr;
  TScale* vrsclSimuWarp = nullptr;
  TGroupBox* grpSimuLoad = nullptr;
  QLineEdit* edtSimuPath = nullptr;
  QLineEdit* edtSimuCar = nullptr;
  QLineEdit* edtSimuJudge = nullptr;
  QPushButton* btnSimuLoadPath = nullptr;
  QPushButton* btnSimuLoadCar = nullptr;
  QPushButton* btnSimuLoadJudge = nullptr;
  TGroupBox* grpSimu = nullptr;
  TNumEdit* nedtSimuStep = nullptr;
  QPushButton* btnSimuStart = nullptr;
  QPushButton* btnSimuPause = nullptr;
  QPushButton* btnSimuStop = nullptr;
  TGroupBox* grpSimuOperation = nullptr;
  QPushButton* btnEnterSimu = nullptr;
  QPushButton* btnSaveSimuResult = nullptr;
  QPushButton* btnExitSimu = nullptr;

 private:
  QList<QWidget*> ReadoutLabels;  // the labels of the readouts and charts
  QLabel* lblSimuStep = nullptr;
  QLabel* lblSimuStepUnit = nullptr;
};

}  // namespace k2
