#include "app/uMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>

#include "app/uAbout.h"
#include "app/uIcons.h"
#include "app/uManual.h"
#include "app/uOption.h"
#include "base/uSettings.h"
#include "car/uCar.h"
#include "car/uCarDesign.h"
#include "replay/uReplay.h"
#include "replay/uReplaycontrol.h"
#include "simulation/uCarTest.h"
#include "simulation/uJudgeOutput.h"
#include "simulation/uSimu.h"
#include "simulation/uSimulation.h"
#include "track/uPath.h"
#include "track/uPathDesign.h"
#include "ui/uArrowKeys.h"
#include "ui/uFuncProc.h"

namespace k2 {

namespace {
constexpr int ClientWidth = 944;
constexpr int ClientHeight = 664;
constexpr int ToolbarHeight = 44;
constexpr int StatusHeight = 19;
}  // namespace

// The four documents and engines are complete types here.
TSharedState::TSharedState() = default;
TSharedState::~TSharedState() = default;

TwdMain::TwdMain(QWidget* parent) : QMainWindow(parent) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  Clock = new TRunClock(this);
  connect(Clock, &TRunClock::Tick, this, &TwdMain::tmrRunTimer);

  BuildMenus();
  BuildToolbar();
  BuildPages();
  BuildStatusBar();

  // The client area is fixed; the menu bar sits above it.
  setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->availableGeometry();
    move(r.center() - rect().center());
  }

  // Start-up state.
  Shared.MarkDocClosed();
  Shared.CaptionBase = QString::fromUtf8(AppCaption);
  setWindowTitle(Shared.CaptionBase);
  ReadRules();
  // An installed copy keeps the user's files elsewhere: say where.
  if (DataDir() != ProgramDir())
    SetStatusText(TStatusPane::Info,
                  QStringLiteral("数据文件夹：") + QDir::toNativeSeparators(DataDir()));
}

TwdMain::~TwdMain() {
  // The car test lets go of the car page, which must still be there.
  delete CarTest;
  CarTest = nullptr;
}

void TwdMain::ShowCaption(bool modified) {
  setWindowTitle(modified ? Shared.CaptionBase + QStringLiteral(" *") : Shared.CaptionBase);
}

void TwdMain::ReadRules() {
  const TRules rules = k2::ReadRules(MainSettingsPath());
  Shared.MaxSensorCount = rules.MaxSensorCount;
  Shared.MinPathR = rules.MinPathR;
  Shared.SandboxModules = rules.SandboxModules;
}

QLabel* TwdMain::StatusPane(TStatusPane pane) const { return Panes[static_cast<int>(pane)]; }

void TwdMain::SetStatusText(TStatusPane pane, const QString& text) {
  StatusPane(pane)->setText(text);
}

QToolButton* TwdMain::ToolButton(int index) const {
  return index >= 0 && index < 4 ? ToolButtons[index] : nullptr;
}

void TwdMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("文件 (&F)"));
  QAction* actExit = file->addAction(OwnIcon("exit"), QStringLiteral("退出 (&E)"));
  actExit->setObjectName(QStringLiteral("actExit"));
  connect(actExit, &QAction::triggered, this, &TwdMain::actExitExecute);

  QMenu* tools = menuBar()->addMenu(QStringLiteral("工具 (&T)"));
  QAction* actSetOption = tools->addAction(OwnIcon("options"), QStringLiteral("选项 (&O)"));
  actSetOption->setObjectName(QStringLiteral("actSetOption"));
  connect(actSetOption, &QAction::triggered, this, &TwdMain::actSetOptionExecute);
  QAction* actJudgeOutput =
      tools->addAction(OwnIcon("judge-output"), QStringLiteral("决策程序输出"));
  actJudgeOutput->setObjectName(QStringLiteral("actJudgeOutput"));
  connect(actJudgeOutput, &QAction::triggered, this, &TwdMain::actJudgeOutputExecute);

  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
  QAction* actHelp = help->addAction(OwnIcon("help"), QStringLiteral("帮助"));
  actHelp->setObjectName(QStringLiteral("actHelp"));
  connect(actHelp, &QAction::triggered, this, &TwdMain::actHelpExecute);
  help->addSeparator();
  QAction* actAbout = help->addAction(OwnIcon("about"), QStringLiteral("关于 (&A)"));
  actAbout->setObjectName(QStringLiteral("actAbout"));
  connect(actAbout, &QAction::triggered, this, &TwdMain::actAboutExecute);
}

void TwdMain::BuildToolbar() {
  QToolBar* bar = addToolBar(QStringLiteral("mainToolbar"));
  bar->setObjectName(QStringLiteral("mainToolbar"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFixedHeight(ToolbarHeight);
  // Icon, caption and button margins must fit the 44 pixels with a CJK font.
  bar->setIconSize(QSize(16, 16));
  bar->setContentsMargins(0, 0, 0, 0);
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->toggleViewAction()->setEnabled(false);
  const struct {
    const char* Name;
    const char* Caption;
    const char* Icon;  // data/icons/<Icon>.svg
  } buttons[4] = {
      {"tlbtnPathDesign", "赛道设计", "page-track"},
      {"tlbtnCarDesign", "赛车设计", "page-car"},
      {"tlbtnSimu", "仿真模拟", "page-simulation"},
      {"tlbtnReplay", "结果回放", "page-replay"},
  };
  for (int i = 0; i < 4; ++i) {
    if (i > 0) bar->addSeparator();
    QAction* a = new QAction(OwnIcon(buttons[i].Icon), QString::fromUtf8(buttons[i].Caption), bar);
    a->setCheckable(true);
    a->setData(i);  // the tag: index of the page it shows
    bar->addAction(a);
    ToolButtons[i] = qobject_cast<QToolButton*>(bar->widgetForAction(a));
    ToolButtons[i]->setObjectName(QString::fromLatin1(buttons[i].Name));
    PageButtonActions[i] = a;
    // Whatever checks a page button (the mouse, the keyboard, an accessibility tool
    // pressing or toggling it) asks for that page; unchecking the button of the page
    // shown changes nothing.  Every path ends in SwitchPage, which then shows on the
    // toolbar the page that is shown.
    connect(ToolButtons[i], &QToolButton::toggled, this, [this, i](bool on) {
      if (on)
        SwitchPage(i);
      else
        SyncToolButtons();
    });
  }
  SyncToolButtons();
}

void TwdMain::BuildPages() {
  pcMain = new QStackedWidget(this);
  pcMain->setObjectName(QStringLiteral("pcMain"));
  PathPage = new TPathDesignPage(*this);
  PathPage->setObjectName(QStringLiteral("tabsPathDesign"));
  CarPage = new TCarDesignPage(*this);
  CarPage->setObjectName(QStringLiteral("tabsCarDesign"));
  SimuPage = new TSimuPage(*this);
  SimuPage->setObjectName(QStringLiteral("tabsSimu"));
  ReplayPage = new TReplayPage(*this);
  ReplayPage->setObjectName(QStringLiteral("tabsReplay"));
  pcMain->addWidget(PathPage);
  pcMain->addWidget(CarPage);
  pcMain->addWidget(SimuPage);
  pcMain->addWidget(ReplayPage);
  Keys = new TArrowKeys(this);
  CarTest = new TCarTest(*this, *CarPage, *Keys, this);
  JudgeOutput = new TwdJudgeOutput(this);

  JudgeOutput->setObjectName(QStringLiteral("wdJudgeOutput"));
  connect(SimuPage, &TSimuPage::JudgeOutputLine, JudgeOutput, &TwdJudgeOutput::AddLine);
  connect(SimuPage, &TSimuPage::JudgeOutputCleared, JudgeOutput, &TwdJudgeOutput::Clear);
  Pages[0] = PathPage;
  Pages[1] = CarPage;
  Pages[2] = SimuPage;
  Pages[3] = ReplayPage;
  pcMain->setCurrentIndex(0);
  setCentralWidget(pcMain);
}

void TwdMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusDisp"));
  bar->setSizeGripEnabled(false);
  bar->setFixedHeight(StatusHeight);
  const char* names[4] = {"pane1", "pane2", "pb1", "rzclcksts1"};
  const int widths[4] = {615, 50, 150, 130};
  for (int i = 0; i < 4; ++i) {
    if (i == 2) {
      pb1 = new QProgressBar(bar);
      pb1->setObjectName(QString::fromLatin1(names[i]));
      pb1->setFixedWidth(widths[i]);
      pb1->setTextVisible(false);
      pb1->setValue(0);
      bar->addWidget(pb1);
      continue;
    }
    Panes[i] = new QLabel(bar);
    Panes[i]->setObjectName(QString::fromLatin1(names[i]));
    // The bar's own spacing between items would push the clock out of a window of
    // exactly the panes' total width, so the pointer pane gives up what is missing.
    if (i == 0) {
      Panes[i]->setMinimumWidth(0);
    } else {
      Panes[i]->setFixedWidth(widths[i]);
    }
    Panes[i]->setFrameShape(QFrame::Panel);
    Panes[i]->setFrameShadow(QFrame::Sunken);
    Panes[i]->setContentsMargins(3, 0, 3, 0);  // text clear of the frame

    bar->addWidget(Panes[i], i == 0 ? 1 : 0);
  }
  Panes[3]->setAlignment(Qt::AlignCenter);
  ClockTimer = new QTimer(this);
  ClockTimer->setInterval(1000);
  connect(ClockTimer, &QTimer::timeout, this, &TwdMain::UpdateClock);
  ClockTimer->start();
  UpdateClock();
}

void TwdMain::UpdateClock() {
  Panes[3]->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

IPage* TwdMain::ShownPage() const { return Pages[pcMain->currentIndex()]; }

void TwdMain::SyncToolButtons() {
  const int shown = pcMain ? pcMain->currentIndex() : 0;
  for (int i = 0; i < 4; ++i) {
    const QSignalBlocker blockAction(PageButtonActions[i]);
    const QSignalBlocker blockButton(ToolButtons[i]);
    PageButtonActions[i]->setChecked(i == shown);
    ToolButtons[i]->setChecked(i == shown);
  }
}

void TwdMain::SwitchPage(int index) {
  if (index < 0 || index >= pcMain->count() || index == pcMain->currentIndex()) {
    SyncToolButtons();
    return;
  }
  IPage* page = ShownPage();
  if (page->ConfirmLeave(TLeaving::Switch)) {
    page->ClosePage();
    Shared.MarkDocClosed();
    pcMain->setCurrentIndex(index);
  }
  SyncToolButtons();
}

bool TwdMain::FormClose() {
  IPage* page = ShownPage();
  if (!page->ConfirmLeave(TLeaving::Close)) return false;
  page->ClosePage();
  Shared.MarkDocClosed();
  return true;
}

void TwdMain::closeEvent(QCloseEvent* event) {
  if (FormClose())
    event->accept();
  else
    event->ignore();
}

void TwdMain::tmrRunTimer() {
  // A tick that arrives after the clock was stopped is ignored.
  if (!Clock->IsRunning()) return;
  switch (Clock->RunMode()) {
    case TRunMode::CarTest:
      CarTest->CarTestTick();
      break;
    case TRunMode::Simulation:
      SimuPage->SimuTick();
      break;
    case TRunMode::Replay:
      ReplayPage->ReplayTick();
      break;
  }
}

int TwdMain::CurrentPage() const { return pcMain->currentIndex(); }

void TwdMain::actExitExecute() { close(); }

void TwdMain::actJudgeOutputExecute() {
  JudgeOutput->show();
  JudgeOutput->raise();
  JudgeOutput->activateWindow();
}

void TwdMain::actSetOptionExecute() {
  {
    TwdOption dialog(this);
    Dialogs().ExecDialog(dialog);
  }
  ReadRules();
}

void TwdMain::actHelpExecute() {
  const QString path = ProgramDir() + QStringLiteral("帮助文档.pdf");
  if (!QFileInfo::exists(path)) {
    ErrorBox(this, QStringLiteral("帮助文档不存在！"));
    return;
  }
  if (Dialogs().OpenDocument(path)) return;
  // No viewer could open it: the same manual in a window of our own.
  if (!wdManual) wdManual = new TwdManual(this);
  if (!wdManual->Load(ProgramDir() + QStringLiteral("manual/index.html"))) {
    ErrorBox(this, QStringLiteral("帮助文档不存在！"));
    return;
  }
  wdManual->show();
  wdManual->raise();
  wdManual->activateWindow();
}

void TwdMain::actAboutExecute() {
  TwdAboutBox box(this);
  Dialogs().ExecDialog(box);
}

}  // namespace k2
