#include "simulation/uSimulation.h"

#include <QFileInfo>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <exception>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"
#include "simulation/uLapPanel.h"
#include "simulation/uLaps.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"
#include "ui/uFuncProc.h"
#include "ui/uRunClock.h"
#include "widgets/uGroupBox.h"
#include "widgets/uNumEdit.h"
#include "widgets/uPlacement.h"
#include "widgets/uRasterView.h"
#include "widgets/uScope.h"

namespace k2 {

namespace {

constexpr TDocumentKind RecordDocument = {
    "Record",
    "仿真记录文件(*.krf)|*.krf",
    "新建仿真记录.krf",
    nullptr,  // the window caption is not the record's
    "",
    "",
    {"", ""},
    {"", ""},
    {"", ""},
};

// The three files a run loads.
struct TLoadKind {
  const char* Filter;
  const char* Folder;
  const char* Error;
};
constexpr TLoadKind LoadKinds[3] = {
    {"赛道文件(*.kpf)|*.kpf", "Path", "赛道文件加载错误！"},
    {"赛车文件(*.kcf)|*.kcf", "Car", "赛车文件加载错误！"},
    {"决策文件(*.so)|*.so", "Judgement", "决策文件加载错误！"},
};
constexpr const char* JudgeFailed = "Judge()函数调用错误，请检查函数编写是否正确！";

QString Crlf() { return QString::fromLatin1(CRLF); }
QString UnsavedRecordText() {
  return QStringLiteral("仿真结果未保存。") + Crlf() + QStringLiteral("是否保存？");
}

// The run falls behind real time below this pace, and the status bar says so.
constexpr double SlowPace = 0.95;
constexpr int64_t PaceWindowMs = 1000;

}  // namespace

TSimuPage::TSimuPage(IPageHost& host, QWidget* parent)
    : QWidget(parent), Host(host), S(host.State()), Flow(host, RecordDocument, *this) {
  setFixedSize(944, 601);
  for (auto [raster, size] :
       {std::pair{&DrawRaster, SimuMainViewSize}, std::pair{&ViewRaster, RunOverviewSize},
        std::pair{&SensorRaster, SimuSensorsSize}, std::pair{&CcdRaster, RunCcdSize}}) {
    *raster = MakeViewRaster(size);
    raster->fill(0);
  }
  BuildControls();
  EnableSimuPage(false);
  ClearSimuPage();
}

TSimuPage::~TSimuPage() = default;

// ---- controls -----------------------------------------------------------------

void TSimuPage::BuildControls() {
  imgSimuDraw =
      PlaceView(this, "imgSimuDraw", 10, 10, SimuMainViewSize.Width, SimuMainViewSize.Height);
  imgSimuView =
      PlaceView(this, "imgSimuView", 456, 10, RunOverviewSize.Width, RunOverviewSize.Height);
  imgSimuSensors =
      PlaceView(this, "imgSimuSensors", 456, 318, SimuSensorsSize.Width, SimuSensorsSize.Height);
  imgSimuCCD = PlaceView(this, "imgSimuCCD", 772, 318, RunCcdSize.Width, RunCcdSize.Height);
  const struct {
    TRasterView* View;
    QImage* Raster;
    const char* Name;
  } views[4] = {{imgSimuDraw, &DrawRaster, "主视图"},
                {imgSimuView, &ViewRaster, "赛道全图"},
                {imgSimuSensors, &SensorRaster, "光电传感器"},
                {imgSimuCCD, &CcdRaster, "CCD图像"}};
  for (const auto& v : views) {
    v.View->SetImage(v.Raster);
    v.View->setAccessibleName(QString::fromUtf8(v.Name));
  }
  BuildReadouts();
  // The narrow column right of the CCD view.
  grpSimuLaps = new TLapPanel(this, "Simu", QRect(887, 312, 50, 122));
  BuildCharts();
  BuildGroups();
}

void TSimuPage::BuildReadouts() {
  QLabel* time = PlaceLabel(this, "计时：", 618, 16);
  vrdgtgrpSimuTime = new QLCDNumber(5, this);
  vrdgtgrpSimuTime->setObjectName(QStringLiteral("vrdgtgrpSimuTime"));
  vrdgtgrpSimuTime->setAccessibleName(QStringLiteral("计时"));
  vrdgtgrpSimuTime->setSegmentStyle(QLCDNumber::Flat);
  vrdgtgrpSimuTime->setSmallDecimalPoint(true);
  vrdgtgrpSimuTime->setFrameShape(QFrame::NoFrame);
  vrdgtgrpSimuTime->setGeometry(662, 8, 150, 34);
  QLabel* seconds = PlaceLabel(this, "s", 818, 16);
  ReadoutLabels << time << seconds;

  const struct {
    TNumEdit** Edit;
    const char* Name;
    const char* Label;
    const char* Unit;
    const char* Format;
    int X, Y;
  } readouts[6] = {
      {&nedtSimuSpeed, "nedtSimuSpeed", "车速：", "m/s", "0.00;-0.00", 618, 50},
      {&nedtSimuAcc, "nedtSimuAcc", "加速度：", "m/s^2", "0.00;-0.00", 618, 76},
      {&nedtSimuFrontAngle, "nedtSimuFrontAngle", "前轮转角：", "°", "0.0;-0.0", 618, 102},
      {&nedtSimuWarp, "nedtSimuWarp", "偏差距离：", "mm", "0;-0", 618, 128},
      {&nedtSimuPosX, "nedtSimuPosX", "X:", "mm", "0;-0", 818, 76},
      {&nedtSimuPosY, "nedtSimuPosY", "Y：", "mm", "0;-0", 818, 102},
  };
  ReadoutLabels << PlaceLabel(this, "当前位置：", 818, 50);
  for (const auto& r : readouts) {
    const bool position = r.X > 700;
    QLabel* label = PlaceLabel(this, r.Label, r.X, r.Y + 3);
    auto* e = new TNumEdit(TNumEdit::TKind::Real, this);
    e->setObjectName(QString::fromLatin1(r.Name));
    e->SetDisplayFormat(QString::fromLatin1(r.Format));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    const int x = r.X + (position ? 22 : 70);
    e->setGeometry(x, r.Y, position ? 66 : 70, 22);
    QString accessible = QString::fromUtf8(r.Label);
    accessible.chop(1);  // the colon
    e->setAccessibleName(position ? QStringLiteral("当前位置 ") + accessible : accessible);
    label->setBuddy(e);
    QLabel* unit = PlaceLabel(this, r.Unit, x + e->width() + 4, r.Y + 3);
    ReadoutLabels << label << unit;
    *r.Edit = e;
  }
}

void TSimuPage::BuildCharts() {
  const struct {
    TScope** Scope;
    TScale** Scale;
    const char* ScopeName;
    const char* ScaleName;
    const char* Title;
    double Max;
    int X;
  } charts[2] = {
      {&vrscpSimuSpeed, &vrsclSimuSpeed, "vrscpSimuSpeed", "vrsclSimuSpeed", "速度曲线", 10, 456},
      {&vrscpSimuWarp, &vrsclSimuWarp, "vrscpSimuWarp", "vrsclSimuWarp", "偏差距离曲线", 500, 700},
  };
  for (const auto& c : charts) {
    ReadoutLabels << PlaceLabel(this, c.Title, c.X + 34, 170);
    auto* scale = new TScale(0, c.Max, 5, this);
    scale->setObjectName(QString::fromLatin1(c.ScaleName));
    scale->setGeometry(c.X, 190, 34, 118);
    auto* scope = new TScope(0, c.Max, this);
    scope->setObjectName(QString::fromLatin1(c.ScopeName));
    scope->setAccessibleName(QString::fromUtf8(c.Title));
    scope->setGeometry(c.X + 34, 190, 200, 118);
    *c.Scale = scale;
    *c.Scope = scope;
  }
  vrscpSimuSpeed->SetSource([this] { return vrscpSimuSpeedNeedData(); });
  vrscpSimuWarp->SetSource([this] { return vrscpSimuWarpNeedData(); });
}

void TSimuPage::BuildGroups() {
  grpSimuLoad = PlaceGroup(this, "grpSimuLoad", "加载", {7, 448, 440, 146});
  const struct {
    QLineEdit** Edit;
    QPushButton** Button;
    const char* EditName;
    const char* ButtonName;
    const char* Label;
  } loads[3] = {
      {&edtSimuPath, &btnSimuLoadPath, "edtSimuPath", "btnSimuLoadPath", "赛道文件："},
      {&edtSimuCar, &btnSimuLoadCar, "edtSimuCar", "btnSimuLoadCar", "赛车文件："},
      {&edtSimuJudge, &btnSimuLoadJudge, "edtSimuJudge", "btnSimuLoadJudge", "决策程序："},
  };
  for (int i = 0; i < 3; ++i) {
    const int y = 28 + 38 * i;
    QLabel* label = PlaceLabel(grpSimuLoad, loads[i].Label, 10, y + 4);
    auto* edit = new QLineEdit(grpSimuLoad);
    edit->setObjectName(QString::fromLatin1(loads[i].EditName));
    edit->setReadOnly(true);
    edit->setGeometry(82, y, 260, 24);
    QString accessible = QString::fromUtf8(loads[i].Label);
    accessible.chop(1);
    edit->setAccessibleName(accessible);
    label->setBuddy(edit);
    *loads[i].Edit = edit;
    *loads[i].Button = PlaceButton(grpSimuLoad, loads[i].ButtonName, "加载", {350, y - 1, 78, 27});
    (*loads[i].Button)->setAccessibleName(QStringLiteral("加载") + accessible);
    connect(*loads[i].Button, &QPushButton::clicked, this, [this, i] { LoadFile(i); });
  }

  grpSimu = PlaceGroup(this, "grpSimu", "仿真", {456, 448, 240, 146});
  lblSimuStep = PlaceLabel(grpSimu, "仿真步长：", 12, 31);
  nedtSimuStep = PlaceIntEdit(grpSimu, "nedtSimuStep", 82, 28, 70);
  nedtSimuStep->SetLimits(10, 10000, true);
  nedtSimuStep->SetValue(10);
  nedtSimuStep->setAccessibleName(QStringLiteral("仿真步长"));
  lblSimuStep->setBuddy(nedtSimuStep);
  lblSimuStepUnit = PlaceLabel(grpSimu, "ms", 158, 31);
  btnSimuStart = PlaceButton(grpSimu, "btnSimuStart", "开始", {12, 78, 66, 30});
  btnSimuPause = PlaceButton(grpSimu, "btnSimuPause", "暂停", {86, 78, 66, 30});
  btnSimuStop = PlaceButton(grpSimu, "btnSimuStop", "停止", {160, 78, 66, 30});
  connect(btnSimuStart, &QPushButton::clicked, this, &TSimuPage::btnSimuStartClick);
  connect(btnSimuPause, &QPushButton::clicked, this, &TSimuPage::btnSimuPauseClick);
  connect(btnSimuStop, &QPushButton::clicked, this, &TSimuPage::btnSimuStopClick);

  grpSimuOperation = PlaceGroup(this, "grpSimuOperation", "操作选项", {705, 448, 232, 146});
  btnEnterSimu = PlaceButton(grpSimuOperation, "btnEnterSimu", "进入仿真", {56, 24, 120, 30});
  btnSaveSimuResult =
      PlaceButton(grpSimuOperation, "btnSaveSimuResult", "保存结果", {56, 64, 120, 30});
  btnExitSimu = PlaceButton(grpSimuOperation, "btnExitSimu", "退出仿真", {56, 104, 120, 30});
  connect(btnEnterSimu, &QPushButton::clicked, this, &TSimuPage::btnEnterSimuClick);
  connect(btnSaveSimuResult, &QPushButton::clicked, this, &TSimuPage::btnSaveSimuResultClick);
  connect(btnExitSimu, &QPushButton::clicked, this, &TSimuPage::btnExitSimuClick);
}

// ---- page procedures ----------------------------------------------------------

void TSimuPage::EnableSimuPage(bool on) {
  btnEnterSimu->setEnabled(!on);
  btnExitSimu->setEnabled(on);
  grpSimuLoad->SetGroupEnabled(on);
  for (QWidget* w : ReadoutLabels) w->setEnabled(on);
  for (TNumEdit* e :
       {nedtSimuSpeed, nedtSimuAcc, nedtSimuFrontAngle, nedtSimuWarp, nedtSimuPosX, nedtSimuPosY})
    e->setEnabled(on);
  vrdgtgrpSimuTime->setEnabled(on);
  grpSimuLaps->SetGroupEnabled(on);
  grpSimu->SetGroupEnabled(false);
  for (QLineEdit* e : {edtSimuPath, edtSimuCar, edtSimuJudge}) e->setReadOnly(true);
  SetChartColours(on);
  if (!on) btnSaveSimuResult->setEnabled(false);
}

void TSimuPage::ClearSimuPage() {
  for (TScope* s : {vrscpSimuSpeed, vrscpSimuWarp}) s->Clear();
  grpSimuLaps->Clear();
  LapStatus.clear();
  ShowTime(0);
  for (TNumEdit* e :
       {nedtSimuSpeed, nedtSimuAcc, nedtSimuFrontAngle, nedtSimuWarp, nedtSimuPosX, nedtSimuPosY})
    e->SetValue(0);
  for (QLineEdit* e : {edtSimuPath, edtSimuCar, edtSimuJudge}) e->clear();
}

void TSimuPage::ReadySimuPage() {
  grpSimu->SetGroupEnabled(true);
  nedtSimuStep->setEnabled(true);
  lblSimuStep->setEnabled(true);
  btnSimuPause->setEnabled(false);
  btnSimuStop->setEnabled(false);
}

void TSimuPage::StopSimuTimer() {
  Host.RunClock().Stop();
  for (TScope* s : {vrscpSimuSpeed, vrscpSimuWarp}) s->SetActive(false);
  Host.SetStatusText(TStatusPane::Info, QString());
}

void TSimuPage::BeginSimuViews() {
  for (TRasterView* v : {imgSimuDraw, imgSimuView, imgSimuSensors, imgSimuCCD}) v->BeginUpdate();
}

void TSimuPage::EndSimuViews() {
  for (TRasterView* v : {imgSimuDraw, imgSimuView, imgSimuSensors, imgSimuCCD}) v->EndUpdate();
}

void TSimuPage::SetChartColours(bool on) {
  const QColor background = on ? QColor(Qt::white) : palette().color(QPalette::Button);
  const QColor text =
      on ? QColor(Qt::black) : palette().color(QPalette::Disabled, QPalette::WindowText);
  for (TScope* s : {vrscpSimuSpeed, vrscpSimuWarp}) s->SetBackground(background);
  for (TScale* s : {vrsclSimuSpeed, vrsclSimuWarp}) s->SetColours(background, text);
  // The lit segments take the text colour: button-face makes the digits vanish.
  QPalette p = vrdgtgrpSimuTime->palette();
  p.setColor(QPalette::WindowText, on ? QColor(Qt::black) : palette().color(QPalette::Button));
  vrdgtgrpSimuTime->setPalette(p);
}

void TSimuPage::ShowTime(double seconds) {
  // Five digits: two decimals up to 999.99 s, fewer beyond, so that long runs still fit.
  int decimals = seconds < 999.995 ? 2 : seconds < 9999.95 ? 1 : 0;
  const QString text = QString::number(seconds, 'f', decimals);
  vrdgtgrpSimuTime->setDigitCount(std::max(5, static_cast<int>(text.size()) - (decimals > 0)));
  vrdgtgrpSimuTime->display(text);
}

void TSimuPage::ShowReadouts() {
  const TSimu& sim = *S.CurSimu;
  nedtSimuAcc->SetValue(sim.Acc);
  nedtSimuWarp->SetValue(sim.Warp);
  nedtSimuFrontAngle->SetValue(sim.FrontWheelAngle());
  nedtSimuSpeed->SetValue(sim.Speed);
  ShowTime(sim.TimeMs / 1000.0);
  nedtSimuPosX->SetValue(sim.Pos.X);
  nedtSimuPosY->SetValue(sim.Pos.Y);
  grpSimuLaps->Show(sim.Laps().Figures(), sim.Laps().Course().Closed());
}

// ---- entering, loading ----------------------------------------------------------

void TSimuPage::btnEnterSimuClick() {
  try {
    S.CurSimu = std::make_unique<TSimu>(&DrawRaster, &ViewRaster, &SensorRaster, &CcdRaster);
    S.CurSimu->Judge().SetOutputSink([this](const QString& line) { Q_EMIT JudgeOutputLine(line); });
    S.CurSimu->Judge().SetSandbox(S.SandboxModules);
    EnableSimuPage(true);
    Host.RunClock().SetRunMode(TRunMode::Simulation);
    SimuStopped = false;
  } catch (const std::exception&) {
    EnableSimuPage(false);
    S.CurSimu.reset();
  }
}

bool TSimuPage::PrepareViews() {
  BeginSimuViews();
  const bool ok = S.CurSimu->Prepare();
  EndSimuViews();
  return ok;
}

void TSimuPage::FollowEngine() {
  if (S.CurSimu && S.CurSimu->IsReady())
    ReadySimuPage();
  else
    grpSimu->SetGroupEnabled(false);
}

void TSimuPage::LoadFile(int which) {
  if (!S.CurSimu) return;
  const TLoadKind& kind = LoadKinds[which];
  const QString file =
      Dialogs().OpenFileName(Host.Window(), DataDir() + QString::fromLatin1(kind.Folder),
                             QtFilter(QString::fromUtf8(kind.Filter)));
  if (file.isEmpty() || !QFileInfo(file).isFile()) return;
  TSimu& sim = *S.CurSimu;
  QLineEdit* boxes[3] = {edtSimuPath, edtSimuCar, edtSimuJudge};
  if (which == 2) Q_EMIT JudgeOutputCleared();
  const bool loaded = which == 0   ? sim.LoadTrack(file)
                      : which == 1 ? sim.LoadCar(file)
                                   : sim.LoadJudge(file);
  if (loaded) {
    boxes[which]->setText(FilePart(file));
    if (QByteArray bytes; !ToGbk(FilePart(file), bytes))
      NoticeBox(
          Host.Window(),
          QStringLiteral(
              "文件名“%1”中有GBK编码无法表示的字符，仿真记录中将以&#xHHHH;的形式保存这些字符。")
              .arg(FilePart(file)));

    S.DocIsNew = true;
    // Prepare resets a bound module; one that fails there is released, as one that
    // cannot be loaded.
    if (!PrepareViews()) {
      edtSimuJudge->clear();
      ErrorBox(Host.Window(), QString::fromUtf8(LoadKinds[2].Error));
    }
  } else {
    // The engine has let go of what it held of this kind.
    boxes[which]->clear();
    ErrorBox(Host.Window(), QString::fromUtf8(kind.Error));
  }
  FollowEngine();
}

void TSimuPage::btnSimuLoadPathClick() { LoadFile(0); }
void TSimuPage::btnSimuLoadCarClick() { LoadFile(1); }
void TSimuPage::btnSimuLoadJudgeClick() { LoadFile(2); }

// ---- the run --------------------------------------------------------------------

void TSimuPage::btnSimuStartClick() {
  if (!S.CurSimu) return;
  const int32_t s = nedtSimuStep->IntValue();
  Host.RunClock().Start(s);
  S.CurSimu->SetStepMs(s);
  btnSimuStart->setEnabled(false);
  btnSimuPause->setEnabled(true);
  btnSimuStop->setEnabled(true);
  btnExitSimu->setEnabled(false);
  btnSaveSimuResult->setEnabled(false);
  nedtSimuStep->setEnabled(false);
  grpSimuLoad->SetGroupEnabled(false);
  for (TScope* sc : {vrscpSimuSpeed, vrscpSimuWarp}) sc->SetActive(true);
  S.DocModified = true;
  if (SimuStopped) {
    S.CurSimu->ClearRecords();
    SimuStopped = false;
  }
  ResetPace();
}

void TSimuPage::btnSimuPauseClick() {
  StopSimuTimer();
  btnSimuStart->setEnabled(true);
  btnSimuPause->setEnabled(false);
  btnExitSimu->setEnabled(true);
  btnSaveSimuResult->setEnabled(true);
}

void TSimuPage::btnSimuStopClick() {
  if (!S.CurSimu) return;
  SimuStopped = true;
  StopSimuTimer();
  ClearSimuPage();
  const bool reset = PrepareViews();
  btnSimuStart->setEnabled(true);
  btnSimuPause->setEnabled(false);
  btnSimuStop->setEnabled(false);
  btnExitSimu->setEnabled(true);
  btnSaveSimuResult->setEnabled(true);
  if (!reset) {
    // The module failed in Reset and is gone: another one must be loaded.
    ErrorBox(Host.Window(), QString::fromUtf8(LoadKinds[2].Error));
    grpSimuLoad->SetGroupEnabled(true);
    FollowEngine();
  }
}

void TSimuPage::SimuTick() {
  if (!S.CurSimu) return;
  TSimu& sim = *S.CurSimu;
  if (Host.RunClock().CountTick()) ShowReadouts();
  if (sim.Step()) {
    sim.AddRecord();
    BeginSimuViews();
    sim.DrawFrame();
    EndSimuViews();
    if (sim.Laps().Figures().LapCompleted) ShowLapCompleted();
    ShowPace();
    return;
  }
  StopSimuTimer();
  btnSimuStart->setEnabled(true);
  btnSimuPause->setEnabled(false);
  btnSimuStop->setEnabled(false);
  btnExitSimu->setEnabled(true);
  nedtSimuStep->setEnabled(true);
  grpSimuLoad->SetGroupEnabled(true);
  // The specified line first, then why the call failed.
  ErrorBox(Host.Window(),
           QString::fromUtf8(JudgeFailed) + QString::fromLatin1(CRLF) + sim.Judge().FailureText());
}

void TSimuPage::ResetPace() {
  PaceClock.start();
  PaceStartMs = S.CurSimu ? S.CurSimu->TimeMs : 0;
  PaceStatus.clear();
  ShowRunStatus();
}

void TSimuPage::ShowPace() {
  const int64_t wall = PaceClock.elapsed();
  if (wall < PaceWindowMs) return;
  const double pace = static_cast<double>(S.CurSimu->TimeMs - PaceStartMs) / wall;
  PaceStatus = pace < SlowPace ? QStringLiteral("仿真速度：%1x").arg(pace, 0, 'f', 1) : QString();
  ShowRunStatus();
  PaceClock.restart();
  PaceStartMs = S.CurSimu->TimeMs;
}

// The latest lap stays on the status bar beside the pace until the next one.
void TSimuPage::ShowLapCompleted() {
  const TLapTracker& laps = S.CurSimu->Laps();
  const TLapFigures& f = laps.Figures();
  LapStatus =
      QStringLiteral("第%1圈：%2").arg(f.Laps).arg(TLapPanel::LapText(f.LastLapS.value_or(0)));
  if (!laps.Laps().empty() && !laps.Laps().back().Valid)
    LapStatus += QStringLiteral("（出赛道，无效）");
  grpSimuLaps->Show(f, laps.Course().Closed());
  ShowRunStatus();
}

void TSimuPage::ShowRunStatus() {
  QStringList parts;
  for (const QString& p : {PaceStatus, LapStatus})
    if (!p.isEmpty()) parts << p;
  Host.SetStatusText(TStatusPane::Info, parts.join(QStringLiteral("    ")));
}

std::optional<double> TSimuPage::vrscpSimuSpeedNeedData() const {
  if (!S.CurSimu) return std::nullopt;
  return RoundHalfEven(S.CurSimu->Speed);
}

std::optional<double> TSimuPage::vrscpSimuWarpNeedData() const {
  if (!S.CurSimu) return std::nullopt;
  return RoundHalfEven(S.CurSimu->Warp);
}

// ---- the record ---------------------------------------------------------------------

bool TSimuPage::HasDocument() const { return S.CurSimu != nullptr; }
QString TSimuPage::DocumentFile() const { return S.CurSimu ? S.CurSimu->RecordFile : QString(); }
void TSimuPage::SetDocumentFile(const QString& path) {
  if (S.CurSimu) S.CurSimu->RecordFile = path;
}
QString TSimuPage::ProposedFile() const {
  return DataDir() + QStringLiteral("Record/") + QString::fromUtf8(RecordDocument.NewName);
}
bool TSimuPage::SaveDocument() { return S.CurSimu && S.CurSimu->SaveToFile(); }
void TSimuPage::DocumentSaved() { btnSaveSimuResult->setEnabled(false); }
void TSimuPage::CloseDocument() {}

TSaveResult TSimuPage::SaveRecord() { return Flow.Save(); }

void TSimuPage::btnSaveSimuResultClick() { SaveRecord(); }

void TSimuPage::btnExitSimuClick() {
  if (!S.CurSimu) return;
  if (S.DocModified) {
    const auto answer =
        AskBox(Host.Window(), UnsavedRecordText(), QStringLiteral("退出仿真"), true);
    if (answer == QMessageBox::Cancel) return;
    // A cancelled name dialog cancels the exit; a failed save keeps the run too, so
    // that it can still be saved elsewhere.
    if (answer == QMessageBox::Yes && SaveRecord() != TSaveResult::Saved) return;
  }
  ClosePage();
  S.MarkDocClosed();
}

// ---- leaving the page -------------------------------------------------------------

bool TSimuPage::ConfirmLeave(TLeaving how) {
  if (!S.CurSimu) return true;
  const bool closing = how == TLeaving::Close;
  const QString title = closing ? QStringLiteral("退出程序") : QStringLiteral("切换页面");
  bool askRecord = S.DocModified;
  QString recordTitle = title;
  bool withCancel = true;
  if (Host.RunClock().IsRunning()) {
    const QString text = closing ? QStringLiteral("仿真正在进行中，是否停止仿真并退出程序？")
                                 : QStringLiteral("仿真正在进行中，是否停止仿真并切换页面？");
    if (AskBox(Host.Window(), text, title, false) != QMessageBox::Yes) return false;
    // Stopped as a pause: should the user stay after all, the page shows a paused run.
    btnSimuPauseClick();
    askRecord = true;
    withCancel = false;
    if (!closing) recordTitle = QStringLiteral("切换仿真");
  }
  if (!askRecord) return true;
  const auto answer = AskBox(Host.Window(), UnsavedRecordText(), recordTitle, withCancel);
  if (answer == QMessageBox::Cancel) return false;
  // A cancelled name dialog or a failed save keeps the page, the run unsaved.
  return answer == QMessageBox::No || SaveRecord() == TSaveResult::Saved;
}

void TSimuPage::ClosePage() {
  StopSimuTimer();
  if (S.CurSimu) S.CurSimu->ClearViews();
  EnableSimuPage(false);
  ClearSimuPage();
  // Releasing the engine releases the decision module.
  S.CurSimu.reset();
  for (TRasterView* v : {imgSimuDraw, imgSimuView, imgSimuSensors, imgSimuCCD}) v->Refresh();
}

}  // namespace k2
