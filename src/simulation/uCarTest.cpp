#include "simulation/uCarTest.h"

#include <QFileInfo>
#include <QPushButton>
#include <exception>

#include "base/uSettings.h"
#include "car/uCar.h"
#include "car/uMotor.h"
#include "geometry/uConstants.h"
#include "simulation/uRunView.h"
#include "simulation/uSimu.h"
#include "track/uPath.h"
#include "ui/uArrowKeys.h"
#include "ui/uFuncProc.h"
#include "ui/uPageHost.h"
#include "ui/uRunClock.h"
#include "widgets/uDialGauge.h"
#include "widgets/uRasterView.h"

namespace k2 {

namespace {

constexpr int32_t TestStepMs = 10;

QString DefaultTrackMessage(const char* hint) {
  return QStringLiteral("读取默认赛道文件失败！") + QString::fromLatin1(CRLF) +
         QString::fromUtf8(hint);
}

}  // namespace

TCarTest::TCarTest(IPageHost& host, TCarDesignPage& page, TArrowKeys& keys, QObject* parent)
    : QObject(parent), Host(host), S(host.State()), Page(page), Keys(keys) {
  for (auto [raster, size] :
       {std::pair{&ViewRaster, CarTestOverviewSize}, std::pair{&SensorRaster, CarTestSensorsSize},
        std::pair{&CcdRaster, CarTestCcdSize}}) {
    *raster = MakeViewRaster(size);
    raster->fill(0);
  }
  Page.imgCarView->SetImage(&ViewRaster);
  Page.imgCarSensors->SetImage(&SensorRaster);
  Page.imgCarCCD->SetImage(&CcdRaster);
  Page.imgCarView->setAccessibleName(QStringLiteral("测试赛道全图"));
  Page.imgCarSensors->setAccessibleName(QStringLiteral("测试光电传感器"));
  Page.imgCarCCD->setAccessibleName(QStringLiteral("测试CCD图像"));
  connect(Page.btnEnterTest, &QPushButton::clicked, this, &TCarTest::btnEnterTestClick);
  connect(Page.btnStartTest, &QPushButton::clicked, this, &TCarTest::btnStartTestClick);
  connect(Page.btnPauseTest, &QPushButton::clicked, this, &TCarTest::btnPauseTestClick);
  connect(Page.btnExitTest, &QPushButton::clicked, this, &TCarTest::btnExitTestClick);
  Page.SetCarTest(this);
}

TCarTest::~TCarTest() { Page.SetCarTest(nullptr); }

// ---- procedures ---------------------------------------------------------------

void TCarTest::EnableCarEditing(bool on) { Page.EnableCarEditing(on); }

void TCarTest::EnterTestControls() {
  Page.btnEnterTest->setEnabled(false);
  Page.btnExitTest->setEnabled(true);
  Page.btnStartTest->setEnabled(true);
  Page.btnPauseTest->setEnabled(false);
  EnableCarEditing(false);
}

void TCarTest::LeaveTestControls() {
  Page.ResetTestControls();
  EnableCarEditing(true);
}

void TCarTest::BeginCarViews() {
  for (TRasterView* v : {Page.imgCarDraw, Page.imgCarView, Page.imgCarSensors, Page.imgCarCCD})
    v->BeginUpdate();
}

void TCarTest::EndCarViews() {
  for (TRasterView* v : {Page.imgCarDraw, Page.imgCarView, Page.imgCarSensors, Page.imgCarCCD})
    v->EndUpdate();
}

// Empties the test's rasters and shows them emptied (a raster changed outside an
// update block is not repainted by itself).
void TCarTest::ClearTestViews() {
  BeginCarViews();
  S.CurSimu->ClearViews();
  EndCarViews();
}

void TCarTest::AbortCarTest() {
  Host.RunClock().Stop();
  Keys.SetCapturing(false);
  Page.btnStartTest->setEnabled(true);
  Page.btnPauseTest->setEnabled(false);
  Page.btnExitTest->setEnabled(true);
  if (!S.CurSimu) return;
  ClearTestViews();
  LeaveTestControls();
  S.CurSimu.reset();
  for (TDialGauge* d : {Page.dgCarTestSpeed, Page.dgCarTestSteer}) d->SetValue(0);
}

void TCarTest::UndoEntry() {
  if (S.CurSimu) ClearTestViews();
  LeaveTestControls();
  Page.UpdateSensorControls();
  S.CurSimu.reset();
  Page.RedrawCar();
}

// ---- handlers -----------------------------------------------------------------

void TCarTest::btnEnterTestClick() {
  if (!S.CurCar || S.CurSimu) return;
  const QString path = DataDir() + QStringLiteral("Default.kpf");
  if (!QFileInfo(path).isFile()) {
    ErrorBox(Host.Window(), DefaultTrackMessage("请检查Default.kpf文件是否存在。"));
    return;
  }
  try {
    S.CurSimu = TSimu::CreateForTest(Page.CarRaster(), S.CurCar.get(), &ViewRaster, &SensorRaster,
                                     &CcdRaster);
    S.CurSimu->Track->FileName = path;
    // A track without elements gives the car nothing to follow: as damaged as one
    // that does not read.
    if (!S.CurSimu->Track->LoadFromFile() || S.CurSimu->Track->Elements.empty()) {
      S.CurSimu.reset();
      ErrorBox(Host.Window(), DefaultTrackMessage("请检查Default.kpf文件是否损坏。"));
      return;
    }
    BeginCarViews();
    if (!S.CurSimu->Prepare()) {
      UndoEntry();
      EndCarViews();
      ErrorBox(Host.Window(), QStringLiteral("初始化错误！"));
      return;
    }
    EndCarViews();
    EnterTestControls();
    TRunClock& clock = Host.RunClock();
    clock.SetInterval(TestStepMs);
    clock.SetRunMode(TRunMode::CarTest);
    S.CurSimu->SetStepMs(TestStepMs);
    Page.dgCarTestSpeed->SetRange(0, RoundHalfEven(S.CurCar->RatedSpeed()) + 1);
    Page.dgCarTestSpeed->SetValue(0);
    const double steer = S.CurCar->SteerMotor->MaxSteerAngle;
    Page.dgCarTestSteer->SetRange(-steer, steer);
    Page.dgCarTestSteer->SetValue(0);
  } catch (const std::exception&) {
    UndoEntry();
  }
}

void TCarTest::btnStartTestClick() {
  if (!S.CurSimu) return;
  Host.RunClock().SetRunMode(TRunMode::CarTest);
  Host.RunClock().Start(TestStepMs);
  Keys.SetCapturing(true);
  Page.btnStartTest->setEnabled(false);
  Page.btnPauseTest->setEnabled(true);
  Page.btnExitTest->setEnabled(false);
}

void TCarTest::btnPauseTestClick() {
  Host.RunClock().Stop();
  Keys.SetCapturing(false);
  Page.btnStartTest->setEnabled(true);
  Page.btnPauseTest->setEnabled(false);
  Page.btnExitTest->setEnabled(true);
}

void TCarTest::btnExitTestClick() {
  if (!S.CurSimu) return;
  // Puts the car's motion at rest with heading 0.
  ClearTestViews();
  LeaveTestControls();
  Page.UpdateSensorControls();
  Page.RedrawCar();
  S.CurSimu.reset();
  for (TDialGauge* d : {Page.dgCarTestSpeed, Page.dgCarTestSteer}) d->SetValue(0);
}

void TCarTest::CarTestTick() {
  if (!S.CurSimu || !S.CurCar) return;
  TCar& car = *S.CurCar;
  // The keys held at this moment, only while the main window is the active window.
  // Two opposite keys held together cancel out: no command is given at all, since
  // each command restarts the motor's response.
  if (Host.Window()->isActiveWindow()) {
    const auto nudge = [](float command, double by) { return static_cast<float>(command + by); };
    const int drive = Keys.Held(Qt::Key_Up) - Keys.Held(Qt::Key_Down);
    const int steer = Keys.Held(Qt::Key_Left) - Keys.Held(Qt::Key_Right);
    if (drive != 0) car.Motor->SetCommand(nudge(car.Motor->LastCommand, drive * CommandStep));
    if (steer != 0) car.SteerMotor->SetCommand(nudge(car.SteerMotor->Command, steer * CommandStep));
  }

  Page.dgCarTestSpeed->SetValue(S.CurSimu->Speed);
  Page.dgCarTestSteer->SetValue(S.CurSimu->FrontWheelAngle());
  S.CurSimu->Step();  // no module: nothing can fail
  BeginCarViews();
  S.CurSimu->DrawFrame();
  EndCarViews();
}

}  // namespace k2
