#include "replay/uReplaycontrol.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <algorithm>
#include <exception>
#include <stdexcept>

#include "base/uSettings.h"
#include "base/uStream.h"
#include "geometry/uConstants.h"
#include "replay/uReplay.h"
#include "simulation/uLapPanel.h"
#include "simulation/uRecordCsv.h"
#include "simulation/uRunView.h"
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
    "Record", "仿真记录文件(*.krf)|*.krf", "新建仿真记录.krf", nullptr,
    "",       "仿真记录文件打开错误！",    {"", ""},           {"", ""},
    {"", ""},
};

// The rates and the factor each puts on the recorded step.
struct TRate {
  const char* Caption;
  double Factor;
};
constexpr TRate Rates[6] = {{"0.1x", 10},         {"0.2x", 5},    {"0.4x", 2.5},
                            {"0.6x", 1.66666667}, {"0.8x", 1.25}, {"1.0x", 1}};

QString PlayingText() {
  return QStringLiteral("回放正在进行中。") + QString::fromLatin1(CRLF) +
         QStringLiteral("是否停止回放并关闭？");
}

}  // namespace

TReplayPage::TReplayPage(IPageHost& host, QWidget* parent)
    : QWidget(parent), Host(host), S(host.State()), Flow(host, RecordDocument, *this) {
  setFixedSize(944, 601);
  for (auto [raster, size] :
       {std::pair{&DrawRaster, SimuMainViewSize}, std::pair{&ViewRaster, RunOverviewSize},
        std::pair{&SensorRaster, ReplaySensorsSize}, std::pair{&CcdRaster, RunCcdSize}}) {
    *raster = MakeViewRaster(size);
    raster->fill(0);
  }
  BuildControls();
  EnableReplayControls(false);
}

TReplayPage::~TReplayPage() = default;

// ---- controls -------------------------------------------------------------------

void TReplayPage::BuildControls() {
  imgReplayDraw =
      PlaceView(this, "imgReplayDraw", 10, 10, SimuMainViewSize.Width, SimuMainViewSize.Height);
  imgReplayView =
      PlaceView(this, "imgReplayView", 456, 10, RunOverviewSize.Width, RunOverviewSize.Height);
  imgReplaySensors = PlaceView(this, "imgReplaySensors", 456, 330, ReplaySensorsSize.Width,
                               ReplaySensorsSize.Height);
  imgReplayCCD = PlaceView(this, "imgReplayCCD", 814, 330, RunCcdSize.Width, RunCcdSize.Height);
  const struct {
    TRasterView* View;
    QImage* Raster;
    const char* Name;
  } views[4] = {{imgReplayDraw, &DrawRaster, "回放主视图"},
                {imgReplayView, &ViewRaster, "回放赛道全图"},
                {imgReplaySensors, &SensorRaster, "回放光电传感器"},
                {imgReplayCCD, &CcdRaster, "回放CCD图像"}};
  for (const auto& v : views) {
    v.View->SetImage(v.Raster);
    v.View->setAccessibleName(QString::fromUtf8(v.Name));
  }
  BuildData();
  BuildGraphs();
  BuildControlGroup();
  BuildFileNames();
  BuildKeys();
}

void TReplayPage::BuildData() {
  grpReplayData = PlaceGroup(this, "grpReplayData", "仿真数据", {614, 4, 323, 160});
  const struct {
    TNumEdit** Edit;
    const char* Name;
    const char* Label;
    const char* Unit;
    const char* Format;
    int X, Y;
  } readouts[7] = {
      {&nedtReplaySimuStep, "nedtReplaySimuStep", "仿真步长：", "ms", "0;-0", 8, 22},
      {&nedtReplaySpeed, "nedtReplaySpeed", "车速：", "m/s", "0.00;-0.00", 8, 48},
      {&nedtReplayAcc, "nedtReplayAcc", "加速度：", "m/s^2", "0.00;-0.00", 8, 74},
      {&nedtReplayFrontAngle, "nedtReplayFrontAngle", "前轮转角：", "°", "0.0;-0.0", 8, 100},
      {&nedtReplayWarp, "nedtReplayWarp", "偏差距离：", "mm", "0;-0", 8, 126},
      {&nedtReplayPosX, "nedtReplayPosX", "X:", "mm", "0;-0", 214, 74},
      {&nedtReplayPosY, "nedtReplayPosY", "Y：", "mm", "0;-0", 214, 100},
  };
  QLabel* where = PlaceLabel(grpReplayData, "当前位置：", 214, 51);
  where->setEnabled(false);
  for (const auto& r : readouts) {
    const bool position = r.X > 100;
    QLabel* label = PlaceLabel(grpReplayData, r.Label, r.X, r.Y + 3);
    auto* e = new TNumEdit(TNumEdit::TKind::Real, grpReplayData);
    e->setObjectName(QString::fromLatin1(r.Name));
    e->SetDisplayFormat(QString::fromLatin1(r.Format));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    const int x = r.X + (position ? 22 : 70);
    e->setGeometry(x, r.Y, position ? 56 : 64, 22);
    QString accessible = QString::fromUtf8(r.Label);
    accessible.chop(1);
    e->setAccessibleName(QStringLiteral("回放") +
                         (position ? QStringLiteral("当前位置 ") : QString()) + accessible);
    label->setBuddy(e);
    QLabel* unit = PlaceLabel(grpReplayData, r.Unit, x + e->width() + 3, r.Y + 3);
    // Shown always in the disabled look: only the group changes state.
    for (QWidget* w :
         {static_cast<QWidget*>(label), static_cast<QWidget*>(e), static_cast<QWidget*>(unit)})
      w->setEnabled(false);
    *r.Edit = e;
  }
}

void TReplayPage::BuildGraphs() {
  const struct {
    TScope** Scope;
    TScale** Scale;
    QLabel** Label;
    const char* ScopeName;
    const char* ScaleName;
    const char* LabelName;
    const char* Title;
    double Max;
    int X;
  } graphs[2] = {
      {&vrscpReplaySpeed, &vrsclReplaySpeed, &lblReplaySpeedGraph, "vrscpReplaySpeed",
       "vrsclReplaySpeed", "lblReplaySpeedGraph", "速度曲线", 10, 456},
      {&vrscpReplayWarp, &vrsclReplayWarp, &lblReplayWarpGraph, "vrscpReplayWarp",
       "vrsclReplayWarp", "lblReplayWarpGraph", "偏差距离曲线", 500, 700},
  };
  for (const auto& g : graphs) {
    *g.Label = PlaceLabel(this, g.Title, g.X + 34, 170, g.LabelName);
    auto* scale = new TScale(0, g.Max, 5, this);
    scale->setObjectName(QString::fromLatin1(g.ScaleName));
    scale->setGeometry(g.X, 188, 34, 137);
    auto* scope = new TScope(0, g.Max, this);
    scope->setObjectName(QString::fromLatin1(g.ScopeName));
    scope->setAccessibleName(QStringLiteral("回放") + QString::fromUtf8(g.Title));
    scope->setGeometry(g.X + 34, 188, 200, 137);
    *g.Scale = scale;
    *g.Scope = scope;
  }
  vrscpReplaySpeed->SetSource([this] { return vrscpReplaySpeedNeedData(); });
  vrscpReplayWarp->SetSource([this] { return vrscpReplayWarpNeedData(); });
}

void TReplayPage::BuildControlGroup() {
  trkbrProgress = new QSlider(Qt::Horizontal, this);
  trkbrProgress->setObjectName(QStringLiteral("trkbrProgress"));
  trkbrProgress->setAccessibleName(QStringLiteral("回放进度"));
  trkbrProgress->setRange(0, 100);
  trkbrProgress->setTickInterval(5);
  trkbrProgress->setTickPosition(QSlider::TicksBelow);
  trkbrProgress->setPageStep(5);
  trkbrProgress->setGeometry(6, 446, 407, 30);
  trkbrProgress->setToolTip(QStringLiteral("拖动以定位；Home 到开头，End 到结尾"));
  trkbrProgress->installEventFilter(this);
  connect(trkbrProgress, &QSlider::valueChanged, this, &TReplayPage::trkbrProgressChange);
  txtReplayTime = new QLabel(this);
  txtReplayTime->setObjectName(QStringLiteral("txtReplayTime"));
  txtReplayTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  txtReplayTime->setGeometry(240, 474, 200, 18);

  grpReplayControl = PlaceGroup(this, "grpReplayControl", "回放控制", {6, 494, 441, 101});
  lblReplayRate = PlaceLabel(grpReplayControl, "回放速率：", 8, 27);
  cbbReplayRate = new QComboBox(grpReplayControl);
  cbbReplayRate->setObjectName(QStringLiteral("cbbReplayRate"));
  cbbReplayRate->setAccessibleName(QStringLiteral("回放速率"));
  for (const TRate& r : Rates) cbbReplayRate->addItem(QString::fromLatin1(r.Caption));
  cbbReplayRate->setCurrentIndex(5);
  cbbReplayRate->setGeometry(78, 22, 70, 26);
  lblReplayRate->setBuddy(cbbReplayRate);
  connect(cbbReplayRate, &QComboBox::currentIndexChanged, this, &TReplayPage::cbbReplayRateChange);
  lblReplayFornBackStep = PlaceLabel(grpReplayControl, "步进、步退步长：", 166, 27);
  nedtReplayFornBackStep = PlaceIntEdit(grpReplayControl, "nedtReplayFornBackStep", 282, 24, 70);
  nedtReplayFornBackStep->SetLimits(0, 100000, true);
  nedtReplayFornBackStep->SetValue(500);
  nedtReplayFornBackStep->setAccessibleName(QStringLiteral("步进、步退步长"));
  lblReplayFornBackStep->setBuddy(nedtReplayFornBackStep);
  lblReplayFornBackStepUnit = PlaceLabel(grpReplayControl, "ms", 356, 27);

  const struct {
    QPushButton** Button;
    const char* Name;
    const char* Caption;
    const char* Tip;
    void (TReplayPage::*Click)();
  } buttons[7] = {
      {&btnReplayOpen, "btnReplayOpen", "打开", "打开仿真记录文件",
       &TReplayPage::btnReplayOpenClick},
      {&btnReplayBack, "btnReplayBack", "步退", "步退（←）", &TReplayPage::btnReplayBackClick},
      {&btnReplayPlay, "btnReplayPlay", "播放", "播放（空格）", &TReplayPage::btnReplayPlayClick},
      {&btnReplayForward, "btnReplayForward", "步进", "步进（→）",
       &TReplayPage::btnReplayForwardClick},
      {&btnReplayPause, "btnReplayPause", "暂停", "暂停（空格）",
       &TReplayPage::btnReplayPauseClick},
      {&btnReplayStop, "btnReplayStop", "停止", "停止并回到开头", &TReplayPage::btnReplayStopClick},
      {&btnReplayClose, "btnReplayClose", "关闭", "关闭仿真记录文件",
       &TReplayPage::btnReplayCloseClick},
  };
  for (int i = 0; i < 7; ++i) {
    *buttons[i].Button = PlaceButton(grpReplayControl, buttons[i].Name, buttons[i].Caption,
                                     {8 + 61 * i, 62, 56, 28});
    (*buttons[i].Button)->setToolTip(QString::fromUtf8(buttons[i].Tip));
    connect(*buttons[i].Button, &QPushButton::clicked, this, buttons[i].Click);
  }
}

void TReplayPage::BuildFileNames() {
  grpReplayFileNames =
      PlaceGroup(this, "grpReplayFileNames", "仿真文件信息：", {456, 446, 481, 149});
  const struct {
    QLabel** Text;
    const char* Name;
    const char* Label;
  } names[4] = {{&txtReplayRecordName, "txtReplayRecordName", "仿真记录文件："},
                {&txtReplayPathName, "txtReplayPathName", "赛道文件："},
                {&txtReplayCarName, "txtReplayCarName", "赛车文件："},
                {&txtReplayJudgeName, "txtReplayJudgeName", "决策文件："}};
  for (int i = 0; i < 4; ++i) {
    const int y = 26 + 24 * i;
    QLabel* label = PlaceLabel(grpReplayFileNames, names[i].Label, 10, y);
    auto* text = new QLabel(grpReplayFileNames);
    text->setObjectName(QString::fromLatin1(names[i].Name));
    text->setGeometry(110, y - 1, 250, 20);
    label->setBuddy(text);
    label->setEnabled(false);
    text->setEnabled(false);
    *names[i].Text = text;
  }
  btnReplayExport =
      PlaceButton(grpReplayFileNames, "btnReplayExport", "导出CSV", {370, 108, 100, 28});
  grpReplayLaps = new TLapPanel(grpReplayFileNames, "Replay", QRect(368, 18, 106, 84));
  btnReplayExport->setToolTip(QStringLiteral("把每一步的记录导出为CSV文件，供表格软件或脚本分析"));
  connect(btnReplayExport, &QPushButton::clicked, this, &TReplayPage::btnReplayExportClick);
}

void TReplayPage::BuildKeys() {
  // While the page is shown; a text field with the focus keeps its own keys.
  const struct {
    Qt::Key Key;
    void (TReplayPage::*Action)();
  } keys[5] = {{Qt::Key_Space, &TReplayPage::PlayOrPause},
               {Qt::Key_Left, &TReplayPage::btnReplayBackClick},
               {Qt::Key_Right, &TReplayPage::btnReplayForwardClick},
               {Qt::Key_Home, &TReplayPage::GoToStart},
               {Qt::Key_End, &TReplayPage::GoToEnd}};
  for (const auto& k : keys) {
    auto* shortcut = new QShortcut(QKeySequence(k.Key), this);
    shortcut->setContext(Qt::WindowShortcut);
    const auto action = k.Action;
    const QKeySequence sequence(k.Key);
    connect(shortcut, &QShortcut::activated, this, [this, action, sequence] {
      if (!isVisible() || !S.CurReplay) return;
      // A step key acts where there is a step to take, judged by the replay's own
      // position: the buttons' enabled state can lag behind it while playing.
      if (sequence == QKeySequence(Qt::Key_Left) && S.CurReplay->AtStart()) return;
      if (sequence == QKeySequence(Qt::Key_Right) && S.CurReplay->AtEnd()) return;
      (this->*action)();
    });
  }
}

bool TReplayPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == trkbrProgress) {
    if (event->type() == QEvent::MouseButtonPress) trkbrProgressMouseDown();
    if (event->type() == QEvent::MouseButtonRelease) trkbrProgressMouseUp();
  }
  return QWidget::eventFilter(watched, event);
}

// ---- page procedures ----------------------------------------------------------------

void TReplayPage::BeginReplayViews() {
  for (TRasterView* v : {imgReplayDraw, imgReplayView, imgReplayCCD, imgReplaySensors})
    v->BeginUpdate();
}

void TReplayPage::EndReplayViews() {
  for (TRasterView* v : {imgReplayCCD, imgReplaySensors, imgReplayView, imgReplayDraw})
    v->EndUpdate();
}

int32_t TReplayPage::ReplayInterval() const {
  if (!S.CurReplay) return 0;
  const int32_t s = S.CurReplay->SimStepMs;
  const int rate = std::clamp(cbbReplayRate->currentIndex(), 0, 5);
  return rate == 5 ? s : RoundHalfEven(s * Rates[rate].Factor);
}

void TReplayPage::EnableReplayControls(bool on) {
  for (QWidget* w :
       {static_cast<QWidget*>(btnReplayPlay), static_cast<QWidget*>(btnReplayForward),
        static_cast<QWidget*>(lblReplayRate), static_cast<QWidget*>(cbbReplayRate),
        static_cast<QWidget*>(lblReplayFornBackStep),
        static_cast<QWidget*>(lblReplayFornBackStepUnit),
        static_cast<QWidget*>(nedtReplayFornBackStep), static_cast<QWidget*>(btnReplayClose),
        static_cast<QWidget*>(lblReplaySpeedGraph), static_cast<QWidget*>(lblReplayWarpGraph),
        static_cast<QWidget*>(txtReplayTime), static_cast<QWidget*>(trkbrProgress),
        static_cast<QWidget*>(btnReplayExport)})
    w->setEnabled(on);
  grpReplayFileNames->SetGroupEnabled(on);
  grpReplayData->SetGroupEnabled(on);
  btnReplayOpen->setEnabled(!on);
  for (QPushButton* b : {btnReplayPause, btnReplayStop, btnReplayBack}) b->setEnabled(false);
  ClearReplayReadouts();
  if (on && S.CurReplay) {
    const TReplay& r = *S.CurReplay;
    txtReplayRecordName->setText(FilePart(r.RecordFile));
    txtReplayPathName->setText(r.TrackFileName);
    txtReplayCarName->setText(r.CarFileName);
    txtReplayJudgeName->setText(r.JudgeFileName);
  } else {
    for (QLabel* l : {txtReplayRecordName, txtReplayPathName, txtReplayCarName, txtReplayJudgeName,
                      txtReplayTime})
      l->clear();
  }
  SetGraphColours(on);
}

void TReplayPage::SetGraphColours(bool on) {
  const QColor background = on ? QColor(Qt::white) : palette().color(QPalette::Button);
  const QColor text =
      on ? QColor(Qt::black) : palette().color(QPalette::Disabled, QPalette::WindowText);
  for (TScope* s : {vrscpReplaySpeed, vrscpReplayWarp}) s->SetBackground(background);
  for (TScale* s : {vrsclReplaySpeed, vrsclReplayWarp}) s->SetColours(background, text);
}

void TReplayPage::ClearReplayReadouts() {
  for (TNumEdit* e : {nedtReplaySpeed, nedtReplayAcc, nedtReplayFrontAngle, nedtReplayWarp,
                      nedtReplayPosX, nedtReplayPosY})
    e->SetValue(0);
  for (TScope* s : {vrscpReplaySpeed, vrscpReplayWarp}) s->Clear();
  grpReplayLaps->Clear();
}

void TReplayPage::ShowReplayTime() {
  if (!S.CurReplay) return;
  const TReplay& r = *S.CurReplay;
  txtReplayTime->setText(QString::asprintf(
      "%.2fs / %.2fs", r.Index * static_cast<double>(r.SimStepMs) / 1000, r.TotalMs / 1000.0));
  // While the user holds the bar, the bar follows the pointer, not the replay.
  if (S.ProgressDragging) return;
  ShowingTime = true;
  trkbrProgress->setValue(r.RecordCount > 1 ? RoundHalfEven(r.Index * 100.0 / (r.RecordCount - 1))
                                            : 0);
  ShowingTime = false;
}

void TReplayPage::RefreshReplayReadouts() {
  if (!S.CurReplay) return;
  const TReplay& r = *S.CurReplay;
  nedtReplaySpeed->SetValue(r.Speed);
  nedtReplayAcc->SetValue(r.Acc);
  nedtReplayFrontAngle->SetValue(r.FrontWheelAngle());
  nedtReplayWarp->SetValue(r.Warp);
  nedtReplayPosX->SetValue(r.Pos.X);
  nedtReplayPosY->SetValue(r.Pos.Y);
}

// The lap figures follow every frame drawn (playing, stepping, seeking, dragging).
void TReplayPage::ShowReplayLaps() {
  if (!S.CurReplay || ReplayLaps.Count() == 0) return;
  grpReplayLaps->Show(ReplayLaps.At(std::clamp(S.CurReplay->Index, 0, ReplayLaps.Count() - 1)),
                      ReplayLaps.Closed());
}

void TReplayPage::SetGraphsActive(bool on) {
  for (TScope* s : {vrscpReplaySpeed, vrscpReplayWarp}) s->SetActive(on);
}

void TReplayPage::DrawCurrent() {
  BeginReplayViews();
  S.CurReplay->DrawFrame();
  EndReplayViews();
  ShowReplayLaps();
}

void TReplayPage::ReplayTick() {
  if (!S.CurReplay) return;
  TReplay& r = *S.CurReplay;
  TRunClock& clock = Host.RunClock();
  if (r.AtEnd()) {
    RefreshReplayReadouts();
    ShowReplayTime();
    DrawCurrent();
    btnReplayPlay->setEnabled(true);
    btnReplayForward->setEnabled(false);
    btnReplayBack->setEnabled(true);
    btnReplayPause->setEnabled(false);
    btnReplayStop->setEnabled(true);
    SetGraphsActive(false);
    clock.Stop();
    return;
  }
  if (clock.CountTick()) {
    RefreshReplayReadouts();
    ShowReplayTime();
  }
  DrawCurrent();
  r.StepForward();
}

// ---- opening and playing ------------------------------------------------------------

bool TReplayPage::HasDocument() const { return S.CurReplay != nullptr; }
QString TReplayPage::DocumentFile() const {
  return S.CurReplay ? S.CurReplay->RecordFile : QString();
}

void TReplayPage::btnReplayOpenClick() {
  const QString file = Flow.AskOpenName();
  if (file.isEmpty() || !QFileInfo(file).isFile()) return;
  bool suspended = false;
  try {
    S.CurReplay = std::make_unique<TReplay>(&DrawRaster, RunMainSpan, &ViewRaster, RunOverviewSpan,
                                            &SensorRaster, &CcdRaster);
    S.CurReplay->RecordFile = file;
    if (!S.CurReplay->LoadFromFile()) {
      S.CurReplay.reset();
      ErrorBox(Host.Window(), QString::fromUtf8(RecordDocument.OpenFailed));
      return;
    }
    // A record without a step has no first step to draw: the page stays closed.
    if (S.CurReplay->RecordCount == 0) throw std::runtime_error("no step");
    // The lap figures of every step, worked out once for the whole record.
    ReplayLaps.Build(*S.CurReplay->Track, S.CurReplay->Records, S.CurReplay->SimStepMs);
    BeginReplayViews();
    suspended = true;
    S.CurReplay->DrawInitial();
    EndReplayViews();
    ShowReplayLaps();
    suspended = false;
    ShowReplayTime();
    EnableReplayControls(true);
    nedtReplaySimuStep->SetValue(S.CurReplay->SimStepMs);
    Host.RunClock().SetRunMode(TRunMode::Replay);
  } catch (const std::exception&) {
    if (suspended) EndReplayViews();
    S.CurReplay.reset();
  }
}

void TReplayPage::btnReplayPlayClick() {
  if (!S.CurReplay) return;
  if (S.CurReplay->AtEnd()) S.CurReplay->SeekIndex(0);
  TRunClock& clock = Host.RunClock();
  clock.SetRunMode(TRunMode::Replay);
  clock.Start(std::max<int32_t>(1, ReplayInterval()));
  btnReplayPlay->setEnabled(false);
  btnReplayForward->setEnabled(!S.CurReplay->AtEnd());
  for (QPushButton* b : {btnReplayBack, btnReplayPause, btnReplayStop}) b->setEnabled(true);
  SetGraphsActive(true);
}

void TReplayPage::btnReplayPauseClick() {
  Host.RunClock().Stop();
  btnReplayPlay->setEnabled(true);
  btnReplayPause->setEnabled(false);
  SetGraphsActive(false);
}

void TReplayPage::PlayOrPause() {
  if (Host.RunClock().IsRunning())
    btnReplayPauseClick();
  else if (btnReplayPlay->isEnabled())
    btnReplayPlayClick();
}

void TReplayPage::btnReplayStopClick() {
  if (!S.CurReplay) return;
  Host.RunClock().Stop();
  btnReplayPlay->setEnabled(true);
  btnReplayForward->setEnabled(true);
  for (QPushButton* b : {btnReplayPause, btnReplayStop, btnReplayBack}) b->setEnabled(false);
  S.CurReplay->SeekIndex(0);
  SetGraphsActive(false);
  ShowReplayTime();
  ClearReplayReadouts();
  BeginReplayViews();
  S.CurReplay->DrawInitial();
  EndReplayViews();
}

template <class F>
void TReplayPage::MoveWhilePaused(F move) {
  TRunClock& clock = Host.RunClock();
  const bool running = clock.IsRunning();
  clock.Stop();
  move(*S.CurReplay);
  DrawCurrent();
  ShowReplayTime();
  if (running) clock.Resume();
}

void TReplayPage::btnReplayBackClick() {
  if (!S.CurReplay) return;
  MoveWhilePaused([this](TReplay& r) {
    const int32_t kept = r.StepMs;
    r.SetStepMs(nedtReplayFornBackStep->IntValue());
    r.StepBack();
    r.SetStepMs(kept);
  });
  btnReplayForward->setEnabled(true);
  if (S.CurReplay->AtStart()) btnReplayBack->setEnabled(false);
}

void TReplayPage::btnReplayForwardClick() {
  if (!S.CurReplay) return;
  MoveWhilePaused([this](TReplay& r) {
    const int32_t kept = r.StepMs;
    r.SetStepMs(nedtReplayFornBackStep->IntValue());
    r.StepForward();
    r.SetStepMs(kept);
  });
  btnReplayBack->setEnabled(true);
  if (S.CurReplay->AtEnd()) btnReplayForward->setEnabled(false);
}

void TReplayPage::GoToStart() {
  if (!S.CurReplay) return;
  MoveWhilePaused([](TReplay& r) { r.SeekIndex(0); });
  btnReplayBack->setEnabled(false);
  btnReplayForward->setEnabled(!S.CurReplay->AtEnd());
}

void TReplayPage::GoToEnd() {
  if (!S.CurReplay) return;
  MoveWhilePaused([](TReplay& r) { r.SeekIndex(r.RecordCount - 1); });
  btnReplayForward->setEnabled(false);
  btnReplayBack->setEnabled(!S.CurReplay->AtStart());
}

void TReplayPage::cbbReplayRateChange() {
  if (S.CurReplay) Host.RunClock().SetInterval(std::max<int32_t>(1, ReplayInterval()));
}

void TReplayPage::trkbrProgressMouseDown() { S.ProgressDragging = true; }
void TReplayPage::trkbrProgressMouseUp() { S.ProgressDragging = false; }

void TReplayPage::trkbrProgressChange(int position) {
  // The position ShowReplayTime writes does not move the replay; every other change
  // does: a drag, a click, a key, an accessibility tool setting the value.
  if (ShowingTime || !S.CurReplay) return;
  const int32_t count = S.CurReplay->RecordCount;
  MoveWhilePaused(
      [&](TReplay& r) { r.SeekIndex(RoundHalfEven(position * static_cast<double>(count) / 100)); });
}

std::optional<double> TReplayPage::vrscpReplaySpeedNeedData() const {
  if (!S.CurReplay) return std::nullopt;
  return RoundHalfEven(S.CurReplay->Speed);
}

std::optional<double> TReplayPage::vrscpReplayWarpNeedData() const {
  if (!S.CurReplay) return std::nullopt;
  return RoundHalfEven(S.CurReplay->Warp);
}

// ---- export ----------------------------------------------------------------------------

void TReplayPage::btnReplayExportClick() {
  if (!S.CurReplay) return;
  const TReplay& r = *S.CurReplay;
  QFileInfo record(r.RecordFile);
  const QString proposed =
      record.absolutePath() + QLatin1Char('/') + record.completeBaseName() + QStringLiteral(".csv");
  const QString file = Dialogs().SaveFileName(Host.Window(), record.absolutePath(), proposed,
                                              QStringLiteral("CSV文件(*.csv)"));
  if (file.isEmpty()) return;
  QString error;
  if (!WriteRecordCsv(file, *r.Track, r.Records, r.SimStepMs, error))
    ErrorBox(Host.Window(),
             FilePart(file) + QStringLiteral("保存失败！") + QString::fromLatin1(CRLF) + error);
}

// ---- closing and leaving ----------------------------------------------------------------

void TReplayPage::DiscardReplay() {
  Host.RunClock().Stop();
  SetGraphsActive(false);
  if (S.CurReplay) S.CurReplay->ClearViews();
  ClearReplayReadouts();
  EnableReplayControls(false);
  S.CurReplay.reset();
  for (TRasterView* v : {imgReplayDraw, imgReplayView, imgReplaySensors, imgReplayCCD})
    v->Refresh();
}

void TReplayPage::btnReplayCloseClick() {
  if (Host.RunClock().IsRunning() &&
      AskBox(Host.Window(), PlayingText(), QStringLiteral("关闭回放文件"), false) !=
          QMessageBox::Yes)
    return;
  DiscardReplay();
  nedtReplaySimuStep->SetValue(0);
}

bool TReplayPage::ConfirmLeave(TLeaving) {
  return !(S.CurReplay && Host.RunClock().IsRunning() &&
           AskBox(Host.Window(), PlayingText(), QStringLiteral("关闭回放文件"), false) !=
               QMessageBox::Yes);
}

// Unlike Close, leaving the page keeps the step readout's value.
void TReplayPage::ClosePage() { DiscardReplay(); }

}  // namespace k2
