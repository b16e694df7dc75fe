#pragma once
// The main window: toolbar, four pages without tabs, menus, status bar, the run
// clock, and the state that the pages share.
//
// Ownership: the window owns the shared state (the current track, car, simulation
// engine and replay engine, each none or one object), the run clock and, through Qt
// parenting, every page and control.  The pages reach all of it through the window's
// IPageHost; only the window knows the pages by their types.
#include <QMainWindow>
#include <QString>

#include "ui/uPageHost.h"
#include "ui/uRunClock.h"

class QAction;
class QCloseEvent;
class QLabel;
class QProgressBar;
class QStackedWidget;
class QToolButton;

namespace k2 {

class TPathDesignPage;
class TCarDesignPage;
class TSimuPage;
class TReplayPage;
class TwdJudgeOutput;
class TArrowKeys;
class TCarTest;
class TwdManual;

class TwdMain : public QMainWindow, public IPageHost {
  Q_OBJECT

 public:
  explicit TwdMain(QWidget* parent = nullptr);
  ~TwdMain() override;

  // ---- IPageHost --------------------------------------------------------------
  QWidget* Window() override { return this; }
  TSharedState& State() override { return Shared; }
  TRunClock& RunClock() override { return *Clock; }
  void SetStatusText(TStatusPane pane, const QString& text) override;
  void ShowCaption(bool modified) override;

  // Reads MaxSensorCount and MinPathR from the main settings file.
  void ReadRules();
  QLabel* StatusPane(TStatusPane pane) const;
  QToolButton* ToolButton(int index) const;

  // Shows the page with that index after the page shown has agreed to be left (its
  // questions) and has been emptied.  The toolbar then shows the page that is shown,
  // whether the switch happened or not.  A switch to the page shown does nothing.
  void SwitchPage(int index);
  int CurrentPage() const;
  // The close guard: the page shown agrees to be left and is emptied, or the close
  // request is refused.  True when the window may close.
  bool FormClose();

  // The run clock's tick: one step of the activity RunMode names.
  void tmrRunTimer();

  void actExitExecute();
  void actSetOptionExecute();
  // Shows the window of what the decision module printed (not modal).
  void actJudgeOutputExecute();
  void actHelpExecute();
  void actAboutExecute();

  QStackedWidget* pcMain = nullptr;
  TPathDesignPage* PathPage = nullptr;
  TCarDesignPage* CarPage = nullptr;
  TSimuPage* SimuPage = nullptr;
  TReplayPage* ReplayPage = nullptr;
  TwdJudgeOutput* JudgeOutput = nullptr;
  TwdManual* wdManual = nullptr;  // made on the first Help without a PDF viewer; a child window

  TArrowKeys* Keys = nullptr;
  TCarTest* CarTest = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  void BuildPages();
  void BuildStatusBar();
  void UpdateClock();
  IPage* ShownPage() const;
  // Every toolbar button shows whether its page is the one shown.
  void SyncToolButtons();

  TSharedState Shared;
  TRunClock* Clock = nullptr;
  QAction* PageButtonActions[4] = {};
  QToolButton* ToolButtons[4] = {};
  IPage* Pages[4] = {};
  QLabel* Panes[4] = {};
  QProgressBar* pb1 = nullptr;
  QTimer* ClockTimer = nullptr;
};

}  // namespace k2
