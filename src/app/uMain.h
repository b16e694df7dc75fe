#pragma once
// The main window: toolbar, four pages without tabs, menus, status bar, the run
// timer, and the state that the pages share.
//
// Ownership: the window owns the current track, car, simulation engine and replay
// engine (each none or one object) and, through Qt parenting, every page and control.
// The pages reach the shared state through the window they are given.
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

class QActionGroup;
class QLabel;
class QProgressBar;
class QStackedWidget;
class QToolButton;

namespace k2 {

class TPath;
class TCar;
class TSimu;
class TReplay;
class TPathDesignPage;
class TCarDesignPage;
class TSimuPage;
class TReplayPage;

class TwdMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TwdMain(QWidget* parent = nullptr);
  ~TwdMain() override;

  // ---- shared state -------------------------------------------------------
  std::unique_ptr<TPath> CurTrack;
  std::unique_ptr<TCar> CurCar;
  std::unique_ptr<TSimu> CurSimu;
  std::unique_ptr<TReplay> CurReplay;
  QString CaptionBase;
  bool DocIsNew = false;
  bool DocModified = false;
  bool DocOpen = false;
  uint8_t RunMode = 0;  // 0 car test, 1 simulation, 2 replay
  int32_t TickCount = 0;
  bool ProgressDragging = false;
  int32_t MaxSensorCount = 16;
  int32_t MinPathR = 400;

  void MarkDocClosed();
  void MarkDocModified();
  void MarkDocNew();
  void MarkDocOpened();
  void MarkDocSaved();

  // Window caption := CaptionBase, plus " *" when `modified`.
  void ShowCaption(bool modified);
  // Reads MaxSensorCount and MinPathR from the main settings file.
  void ReadRules();

  // Status panes: 0 pointer position, 1 zoom, 3 clock.
  QLabel* StatusPane(int index) const;
  QTimer* tmrRun = nullptr;

  QStackedWidget* pcMain = nullptr;
  TPathDesignPage* PathPage = nullptr;
  TCarDesignPage* CarPage = nullptr;
  TSimuPage* SimuPage = nullptr;
  TReplayPage* ReplayPage = nullptr;
  QToolButton* ToolButton(int index) const;

  // Shows the page with that index; the guards of leaving a page run here.
  void SwitchPage(int index);
  int CurrentPage() const;

  void actExitExecute();
  void actSetOptionExecute();
  void actHelpExecute();
  void actAboutExecute();

 Q_SIGNALS:
  void RunTick();

 private:
  void BuildMenus();
  void BuildToolbar();
  void BuildPages();
  void BuildStatusBar();
  void UpdateClock();

  QActionGroup* PageActions = nullptr;
  QToolButton* ToolButtons[4] = {};
  QLabel* Panes[4] = {};
  QProgressBar* pb1 = nullptr;
  QTimer* ClockTimer = nullptr;
};

}  // namespace k2
