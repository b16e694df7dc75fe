#include "car/uCarDesign.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <exception>
#include <memory>

#include "ui/uFuncProc.h"
#include "base/uSettings.h"
#include "base/uStream.h"
#include "car/uCCDSensorParams.h"
#include "car/uCar.h"
#include "car/uLightSensorParams.h"
#include "car/uSensor.h"
#include "car/uSensorDesign.h"
#include "widgets/uDialGauge.h"
#include "widgets/uGroupBox.h"
#include "widgets/uPlacement.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"

namespace k2 {

// One parameter field of the page.
struct TCarFieldSpec {
  const char* Name;
  const char* Label;
  const char* Unit;
  bool Real;
  const char* Format;
  double Min, Max;
  bool Enforced;
  bool Redraws;  // the plan view changes with the field
};

// Placement of the rows of a parameter group: label (right-aligned), then edit, then
// unit; rows from `Top` every `Step` pixels.
struct TCarFieldColumns {
  int LabelWidth;
  int EditWidth;
  int Top;
  int Step;
};

namespace {

constexpr int DrawSize = 300;   // pixels of imgCarDraw
constexpr int DrawSpan = 1500;  // mm across imgCarDraw
constexpr QRgb DrawBackground = 0xFFFFFFFF;
constexpr TDocumentKind CarDocument = {
    "Car",
    "赛车文件(*.kcf)|*.kcf",
    "新建赛车.kcf",
    "Kurvino2 ",
    "新建赛车文件失败！",
    "赛车文件加载错误！",
    {"新建赛车", "是否继续创建新赛车？"},
    {"打开赛车", "是否继续打开新赛车？"},
    {"关闭赛车", "继续关闭？"},
};

// The three parameter groups, row by row.
const TCarFieldSpec BasicFields[9] = {
    {"nedtCarLength", "车长：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarWidth", "车宽：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarTrack", "轮距：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarWheelBase", "轴距：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarFrontLength", "前轴距横中心线距离：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarWheelD", "轮径：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarWheelWidth", "轮宽：", "mm", false, "0;-0", 1, 1000, true, true},
    {"nedtCarWeight", "整车质量：", "g", false, "0;-0", 1, 10000, true, false},
    {"nedtRatio", "传动比：", "", true, "0.0000;-0.0000", 0.0001, 1000, false, false},
};
const TCarFieldSpec MotorFields[6] = {
    {"nedtMotorURated", "额定电压：", "V", true, "0.0;-0.0", 0.1, 1000, false, false},
    {"nedtMotorIRated", "额定电流：", "A", true, "0.0;-0.0", 0.1, 1000, false, false},
    {"nedtMotornRated", "额定转速：", "rpm", false, "0;-0", 1, 20000, false, false},
    {"nedtMotorTRated", "额定转矩：", "N·m", true, "0.0;-0.0", 0.1, 100, false, false},
    {"nedtMotorRa", "回路电阻：", "Ω", true, "0.000;-0.000", 0.1, 1000, false, false},
    // Carries the limits of a real but shows and stores whole millihenries.
    {"nedtMotorL", "回路电感：", "mH", false, "0;-0", 0.1, 1000, false, false},
};
const TCarFieldSpec SteerFields[2] = {
    {"nedtMaxSteerAngle", "前轮最大转角：±", "°", false, "0;-0", 1, 90, false, false},
    {"nedtSteerSpeed", "转角变化速率：", "°/s", false, "0;-0", 1, 360, false, false},
};

}  // namespace

TCarDesignPage::TCarDesignPage(IPageHost& host, QWidget* parent)
    : QWidget(parent), Host(host), S(host.State()), Flow(host, CarDocument, *this) {
  setFixedSize(944, 601);
  BuildControls();
  ClearCarPage();
  btnSaveCar->setEnabled(false);
}

TCarDesignPage::~TCarDesignPage() = default;

// ---- controls -----------------------------------------------------------------

void TCarDesignPage::BuildControls() {
  imgCarDraw = PlaceView(this, "imgCarDraw", 7, 13, DrawSize, DrawSize);
  imgCarDraw->SetImage(&DrawRaster);
  BuildParameterGroups();

  grpCarFile = PlaceGroup(this, "grpCarFile", "", {780, 6, 158, 145});
  btnNewCar = PlaceButton(grpCarFile, "btnNewCar", "新建", {24, 12, 110, 27});
  btnOpenCar = PlaceButton(grpCarFile, "btnOpenCar", "打开", {24, 45, 110, 27});
  btnSaveCar = PlaceButton(grpCarFile, "btnSaveCar", "保存", {24, 78, 110, 27});
  btnCloseCar = PlaceButton(grpCarFile, "btnCloseCar", "关闭", {24, 111, 110, 27});
  connect(btnNewCar, &QPushButton::clicked, this, &TCarDesignPage::btnNewCarClick);
  connect(btnOpenCar, &QPushButton::clicked, this, &TCarDesignPage::btnOpenCarClick);
  connect(btnSaveCar, &QPushButton::clicked, this, &TCarDesignPage::btnSaveCarClick);
  connect(btnCloseCar, &QPushButton::clicked, this, &TCarDesignPage::btnCloseCarClick);

  BuildTestGroup();
  BuildSensorGroup();
}

void TCarDesignPage::BuildParameterGroups() {
  grpCarBasic = PlaceGroup(this, "grpCarBasic", "基本参数", {316, 6, 246, 312});
  TNumEdit** basic[9] = {&nedtCarLength,     &nedtCarWidth,       &nedtCarTrack,
                         &nedtCarWheelBase,  &nedtCarFrontLength, &nedtCarWheelD,
                         &nedtCarWheelWidth, &nedtCarWeight,      &nedtRatio};
  for (int i = 0; i < 9; ++i)
    *basic[i] = AddField(grpCarBasic, BasicFields[i], i, {146, 60, 26, 31});
  grpCarMotor = PlaceGroup(this, "grpCarMotor", "电机参数", {568, 6, 206, 204});
  TNumEdit** motor[6] = {&nedtMotorURated, &nedtMotorIRated, &nedtMotornRated,
                         &nedtMotorTRated, &nedtMotorRa,     &nedtMotorL};
  for (int i = 0; i < 6; ++i)
    *motor[i] = AddField(grpCarMotor, MotorFields[i], i, {78, 72, 26, 29});
  grpCarSteer = PlaceGroup(this, "grpCarSteer", "舵机参数", {568, 214, 206, 104});
  TNumEdit** steer[2] = {&nedtMaxSteerAngle, &nedtSteerSpeed};
  for (int i = 0; i < 2; ++i)
    *steer[i] = AddField(grpCarSteer, SteerFields[i], i, {104, 52, 30, 34});
}

TNumEdit* TCarDesignPage::AddField(TGroupBox* group, const TCarFieldSpec& f, int row,
                                   const TCarFieldColumns& columns) {
  const int y = columns.Top + columns.Step * row;
  auto* label = new QLabel(QString::fromUtf8(f.Label), group);
  label->setGeometry(4, y, columns.LabelWidth, 21);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* edit = new TNumEdit(f.Real ? TNumEdit::TKind::Real : TNumEdit::TKind::Integer, group);
  edit->setObjectName(QString::fromLatin1(f.Name));
  edit->SetDisplayFormat(QString::fromLatin1(f.Format));
  edit->SetLimits(f.Min, f.Max, f.Enforced);
  const int editX = 6 + columns.LabelWidth;
  edit->setGeometry(editX, y, columns.EditWidth, 21);
  if (*f.Unit) {
    auto* unit = new QLabel(QString::fromUtf8(f.Unit), group);
    unit->move(editX + columns.EditWidth + 4, y + 3);
    unit->adjustSize();
  }
  const bool redraws = f.Redraws;
  connect(edit, &TNumEdit::ValueChanged, this,
          [this, redraws](double, bool) { CarParamChanged(redraws); });
  return edit;
}

void TCarDesignPage::BuildSensorGroup() {
  grpCarSensor = PlaceGroup(this, "grpCarSensor", "传感器", {509, 322, 429, 275});
  cbbSensorKind = new QComboBox(grpCarSensor);
  cbbSensorKind->setObjectName(QStringLiteral("cbbSensorKind"));
  cbbSensorKind->setGeometry(8, 24, 88, 24);
  btnAddSensor = PlaceButton(grpCarSensor, "btnAddSensor", "添加", {8, 58, 88, 27});
  btnEditSensor = PlaceButton(grpCarSensor, "btnEditSensor", "修改", {8, 91, 88, 27});
  btnDeleteSensor = PlaceButton(grpCarSensor, "btnDeleteSensor", "删除", {8, 124, 88, 27});
  vstSensorList = new TSensorTreeList(grpCarSensor);
  vstSensorList->setObjectName(QStringLiteral("vstSensorList"));
  vstSensorList->setGeometry(104, 22, 317, 245);
  connect(btnAddSensor, &QPushButton::clicked, this, &TCarDesignPage::btnAddSensorClick);
  connect(btnEditSensor, &QPushButton::clicked, this, &TCarDesignPage::btnEditSensorClick);
  connect(btnDeleteSensor, &QPushButton::clicked, this, &TCarDesignPage::btnDeleteSensorClick);
  connect(vstSensorList, &TSensorTreeList::SensorRowFocused, this, [this] {
    btnEditSensor->setEnabled(true);
    btnDeleteSensor->setEnabled(true);
  });
}

void TCarDesignPage::BuildTestGroup() {
  grpCarTest = PlaceGroup(this, "grpCarTest", "赛车测试", {7, 322, 496, 275});
  imgCarSensors = PlaceView(grpCarTest, "imgCarSensors", 11, 25, 376, 86);
  imgCarCCD = PlaceView(grpCarTest, "imgCarCCD", 401, 25, 86, 86);
  imgCarView = PlaceView(grpCarTest, "imgCarView", 11, 125, 136, 136);
  const auto dial = [this](const char* name, const char* caption, double min, double max, int x) {
    auto* d = new TDialGauge(QString::fromUtf8(caption), min, max, grpCarTest);
    d->setObjectName(QString::fromLatin1(name));
    d->setGeometry(x, 118, 120, 150);
    return d;
  };
  dgCarTestSpeed = dial("dgCarTestSpeed", "车速 m/s", 0, 15, 156);
  dgCarTestSteer = dial("dgCarTestSteer", "转向 °", -100, 100, 282);
  dgCarTestSteer->SetCounterClockwise(true);
  btnEnterTest = PlaceButton(grpCarTest, "btnEnterTest", "进入测试", {410, 122, 78, 27});
  btnExitTest = PlaceButton(grpCarTest, "btnExitTest", "离开测试", {410, 156, 78, 27});
  btnStartTest = PlaceButton(grpCarTest, "btnStartTest", "开始", {410, 190, 78, 27});
  btnPauseTest = PlaceButton(grpCarTest, "btnPauseTest", "暂停", {410, 224, 78, 27});
}

// ---- page procedures ----------------------------------------------------------

void TCarDesignPage::SetFieldsFromCar(const TCar& car) {
  nedtCarLength->SetValue(car.Length);
  nedtCarWidth->SetValue(car.Width);
  nedtCarWeight->SetValue(car.Weight);
  nedtCarTrack->SetValue(car.Track);
  nedtCarWheelD->SetValue(car.WheelD);
  nedtCarWheelBase->SetValue(car.WheelBase);
  nedtCarFrontLength->SetValue(car.FrontLength);
  nedtCarWheelWidth->SetValue(car.WheelWidth);
  nedtRatio->SetValue(car.Ratio);
  const TMotor& m = *car.Motor;
  nedtMotorURated->SetValue(m.URated);
  nedtMotorIRated->SetValue(m.IRated);
  nedtMotorTRated->SetValue(m.TRated);
  nedtMotornRated->SetValue(m.nRated);
  nedtMotorRa->SetValue(m.Ra);
  nedtMotorL->SetValue(m.L);
  nedtMaxSteerAngle->SetValue(car.SteerMotor->MaxSteerAngle);
  nedtSteerSpeed->SetValue(car.SteerMotor->SteerSpeed);
}

void TCarDesignPage::ShowCar() {
  if (!S.CurCar) return;
  Filling = true;
  SetFieldsFromCar(*S.CurCar);
  Filling = false;
  cbbSensorKind->clear();
  for (uint8_t kind : {LightSensorKind, CCDSensorKind})
    cbbSensorKind->addItem(QString::fromUtf8(SensorKindNames[kind]), kind);
  cbbSensorKind->setCurrentIndex(0);
  vstSensorList->Rebuild(nullptr);
  SensorCountCaption();
  EnableCarPage(true);
  UpdateSensorControls();
}

void TCarDesignPage::ReadCarFromPage() {
  if (!S.CurCar) return;
  TCar& car = *S.CurCar;
  car.Length = nedtCarLength->IntValue();
  car.Width = nedtCarWidth->IntValue();
  car.SetWeight(nedtCarWeight->IntValue());
  car.Track = nedtCarTrack->IntValue();
  car.SetWheelD(nedtCarWheelD->IntValue());
  car.WheelBase = nedtCarWheelBase->IntValue();
  car.FrontLength = nedtCarFrontLength->IntValue();
  car.WheelWidth = nedtCarWheelWidth->IntValue();
  car.Ratio = static_cast<float>(nedtRatio->Value());
  TMotor& m = *car.Motor;
  m.URated = static_cast<float>(nedtMotorURated->Value());
  m.IRated = static_cast<float>(nedtMotorIRated->Value());
  m.TRated = static_cast<float>(nedtMotorTRated->Value());
  m.nRated = nedtMotornRated->IntValue();
  m.Ra = static_cast<float>(nedtMotorRa->Value());
  m.L = nedtMotorL->IntValue();
  car.SteerMotor->MaxSteerAngle = nedtMaxSteerAngle->IntValue();
  car.SteerMotor->SteerSpeed = nedtSteerSpeed->IntValue();
}

void TCarDesignPage::ResetCarFields() {
  Filling = true;
  for (TNumEdit* e : {nedtCarLength, nedtCarWidth, nedtCarTrack, nedtCarWheelBase,
                      nedtCarFrontLength, nedtCarWheelD, nedtCarWheelWidth, nedtCarWeight,
                      nedtMotornRated, nedtMotorL, nedtMaxSteerAngle, nedtSteerSpeed})
    e->SetValue(1);
  nedtRatio->SetValue(0.0001);
  for (TNumEdit* e : {nedtMotorURated, nedtMotorIRated, nedtMotorTRated, nedtMotorRa})
    e->SetValue(0.1);
  Filling = false;
}

void TCarDesignPage::ClearCarPage() {
  ResetCarFields();
  DrawRaster = QImage();
  imgCarDraw->Refresh();
  grpCarSensor->setTitle(QStringLiteral("传感器"));
  cbbSensorKind->clear();
  vstSensorList->Empty();
  EnableCarPage(false);
}

void TCarDesignPage::EnableCarPage(bool on) {
  for (TGroupBox* g : {grpCarBasic, grpCarMotor, grpCarSteer, grpCarSensor, grpCarTest})
    g->SetGroupEnabled(on);
  btnCloseCar->setEnabled(on);
}

void TCarDesignPage::RedrawCar() {
  if (DrawRaster.size() != imgCarDraw->size())
    DrawRaster = QImage(imgCarDraw->size(), QImage::Format_ARGB32);
  DrawRaster.fill(DrawBackground);
  if (S.CurCar) S.CurCar->Draw();
  imgCarDraw->Refresh();
}

void TCarDesignPage::DiscardCar() {
  S.CurCar.reset();
  btnSaveCar->setEnabled(false);
}

void TCarDesignPage::RebuildSensorTree() {
  vstSensorList->Rebuild(S.CurCar.get());
  SensorCountCaption();
}

void TCarDesignPage::UpdateSensorControls() {
  const TCar* car = S.CurCar.get();
  const int n = car ? car->SensorCount() : 0;
  // A car loaded with more sensors than the rule allows cannot grow further.
  btnAddSensor->setEnabled(n == 0 || n < S.MaxSensorCount);
  btnEditSensor->setEnabled(n > 0);
  btnDeleteSensor->setEnabled(n > 0);
  cbbSensorKind->clear();
  cbbSensorKind->addItem(QString::fromUtf8(SensorKindNames[LightSensorKind]), LightSensorKind);
  if (!car || !car->CCDSensor)
    cbbSensorKind->addItem(QString::fromUtf8(SensorKindNames[CCDSensorKind]), CCDSensorKind);
  cbbSensorKind->setCurrentIndex(0);
  if (!vstSensorList->currentItem()) {
    btnEditSensor->setEnabled(false);
    btnDeleteSensor->setEnabled(false);
  }
}

void TCarDesignPage::SensorCountCaption() {
  const int n = S.CurCar ? S.CurCar->SensorCount() : 0;
  grpCarSensor->setTitle(QString::asprintf("传感器：%d", n));
}

// ---- leaving ------------------------------------------------------------------

bool TCarDesignPage::SaveCarInteractive() { return Flow.SaveForPrompt() == TSaveResult::Saved; }

bool TCarDesignPage::ConfirmLeave(TLeaving how) {
  if (how == TLeaving::Switch)
    return Flow.ConfirmUnsaved({"切换页面", "继续切换页面？"}, true);
  return Flow.ConfirmUnsaved({"退出程序", "继续退出程序？"}, false);
}

void TCarDesignPage::ClosePage() {
  // A car test in progress ends first, without a question.
  if (CarTest) CarTest->AbortCarTest();
  Flow.CloseWithoutAsking();
}

// ---- car test -----------------------------------------------------------------

void TCarDesignPage::ResetTestControls() {
  btnEnterTest->setEnabled(true);
  btnExitTest->setEnabled(false);
  btnStartTest->setEnabled(false);
  btnPauseTest->setEnabled(false);
}

void TCarDesignPage::EnableCarEditing(bool on) {
  for (TGroupBox* g : {grpCarBasic, grpCarMotor, grpCarSteer, grpCarFile, grpCarSensor})
    g->SetGroupEnabled(on);
}

// ---- documents ----------------------------------------------------------------

void TCarDesignPage::CreateCar() {
  DrawRaster = QImage(imgCarDraw->width(), imgCarDraw->height(), QImage::Format_ARGB32);
  DrawRaster.fill(DrawBackground);
  S.CurCar = std::make_unique<TCar>(&DrawRaster, DrawSpan);
}

bool TCarDesignPage::HasDocument() const { return S.CurCar != nullptr; }


QString TCarDesignPage::DocumentFile() const { return S.CurCar ? S.CurCar->FileName : QString(); }

void TCarDesignPage::SetDocumentFile(const QString& path) {
  if (S.CurCar) S.CurCar->FileName = path;
}

bool TCarDesignPage::SaveDocument() { return S.CurCar && S.CurCar->SaveToFile(); }

void TCarDesignPage::CreateDocument() { CreateCar(); }

bool TCarDesignPage::LoadDocument(const QString& path) {
  CreateCar();
  S.CurCar->FileName = path;
  return S.CurCar->LoadFromFile();
}

void TCarDesignPage::ShowNewDocument() {
  ShowCar();
  ResetTestControls();
  RedrawCar();
  btnSaveCar->setEnabled(true);
}

void TCarDesignPage::ShowOpenedDocument() {
  ShowCar();
  ResetTestControls();
  RebuildSensorTree();
  UpdateSensorControls();
  RedrawCar();
}

void TCarDesignPage::DocumentSaved() { btnSaveCar->setEnabled(false); }

void TCarDesignPage::DiscardDocument() { S.CurCar.reset(); }

void TCarDesignPage::CloseDocument() {
  ClearCarPage();
  DiscardCar();
}

void TCarDesignPage::btnNewCarClick() { Flow.New(); }
void TCarDesignPage::btnOpenCarClick() { Flow.Open(); }
void TCarDesignPage::btnSaveCarClick() { Flow.Save(); }
void TCarDesignPage::btnCloseCarClick() { Flow.Close(); }

// ---- parameters ---------------------------------------------------------------

void TCarDesignPage::CarParamChanged(bool redraws) {
  if (Filling || !S.DocOpen || !S.CurCar) return;
  ReadCarFromPage();
  btnSaveCar->setEnabled(true);
  S.MarkDocModified();
  Host.ShowCaption(true);
  if (redraws) RedrawCar();
}

// ---- sensors ------------------------------------------------------------------

void TCarDesignPage::btnAddSensorClick() {
  if (!S.CurCar) return;
  TCar& car = *S.CurCar;
  const int kind = cbbSensorKind->currentData().toInt();
  bool added = false;
  if (kind == LightSensorKind) {
    TwdLisghtSensorParams dialog(Host.Window());
    if (Dialogs().ExecDialog(dialog) == QDialog::Accepted) {
      auto sensor = std::make_unique<TLightSensor>();
      dialog.StoreToSensor(*sensor);
      car.AddLightSensor(std::move(sensor));
      added = true;
    }
  } else if (kind == CCDSensorKind && !car.CCDSensor) {
    TwdCCDSensorParams dialog(Host.Window());
    if (Dialogs().ExecDialog(dialog) == QDialog::Accepted) {
      auto sensor = std::make_unique<TCCDSensor>();
      dialog.StoreToSensor(*sensor);
      car.SetCCDSensor(std::move(sensor));
      added = true;
    }
  }
  if (added) {
    S.MarkDocModified();
    btnSaveCar->setEnabled(true);
  }
  RebuildSensorTree();
  UpdateSensorControls();
  if (S.DocOpen) RedrawCar();
}

void TCarDesignPage::btnEditSensorClick() {
  const TSensorTreeData* focused = vstSensorList->FocusedSensor();
  if (!focused || !S.CurCar) return;
  TCar& car = *S.CurCar;
  const TSensorTreeData row = *focused;
  bool edited = false;
  if (row.SensorKind == LightSensorKind) {
    if (row.ListIndex < 0 || row.ListIndex >= static_cast<int>(car.LightSensors.size())) return;
    TLightSensor& sensor = *car.LightSensors[static_cast<size_t>(row.ListIndex)];
    TwdLisghtSensorParams dialog(Host.Window());
    dialog.LoadFromSensor(sensor);
    if (Dialogs().ExecDialog(dialog) == QDialog::Accepted) {
      dialog.StoreToSensor(sensor);
      edited = true;
    }
  } else if (car.CCDSensor) {
    TwdCCDSensorParams dialog(Host.Window());
    dialog.LoadFromSensor(*car.CCDSensor);
    if (Dialogs().ExecDialog(dialog) == QDialog::Accepted) {
      dialog.StoreToSensor(*car.CCDSensor);
      edited = true;
    }
  }
  if (edited) {
    S.MarkDocModified();
    btnSaveCar->setEnabled(true);
  }
  RebuildSensorTree();
  if (S.DocOpen) RedrawCar();
}

void TCarDesignPage::btnDeleteSensorClick() {
  const TSensorTreeData* focused = vstSensorList->FocusedSensor();
  if (!focused || !S.CurCar) {
    ErrorBox(Host.Window(), QStringLiteral("请选择要删除的传感器！"));
    return;
  }
  const TSensorTreeData row = *focused;
  const QString text = QStringLiteral("确定删除传感器%1？").arg(row.IdText);
  if (ConfirmBox(Host.Window(), text, QStringLiteral("删除传感器")) == QMessageBox::Yes) {
    if (row.SensorKind == LightSensorKind)
      S.CurCar->DeleteLightSensor(row.ListIndex);
    else
      S.CurCar->DeleteCCDSensor();
    S.MarkDocModified();
    btnSaveCar->setEnabled(true);
  }
  if (S.DocOpen) RedrawCar();
  RebuildSensorTree();
  UpdateSensorControls();
}

}  // namespace k2
