#include "car/uCCDSensorParams.h"

#include <QEvent>
#include <QPushButton>

#include "ui/uFuncProc.h"
#include "car/uSensor.h"
#include "car/uSensorDesign.h"
#include "widgets/uNumEdit.h"

namespace k2 {

namespace {

TPointF Corner(const TNumEdit* x, const TNumEdit* y) {
  return MakePointF(static_cast<float>(x->IntValue()), static_cast<float>(y->IntValue()));
}

}  // namespace

TwdCCDSensorParams::TwdCCDSensorParams(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("CCD传感器"));
  setFixedSize(304, 372);
  using namespace sensordialog;

  MakeLabel(this, "CCD像素：", 12, 14);
  MakeLabel(this, "横向：", 12, 39);
  nedtPixelWidth = MakeEdit(this, "nedtPixelWidth", 52, 36);
  MakeLabel(this, "纵向：", 132, 39);
  nedtPixelHeight = MakeEdit(this, "nedtPixelHeight", 172, 36);
  MakeLabel(this, "Pix", 172 + EditWidth + 4, 39);
  for (TNumEdit* e : {nedtPixelWidth, nedtPixelHeight}) {
    e->SetLimits(1, MaxCcdPixels, true);
    e->SetValue(1);
  }

  MakeLabel(this, "安装位置：", 12, 68);
  nedtAssembleX = MakeCoordinate(this, "nedtAssembleX", "X：", 12, 88);
  nedtAssembleY = MakeCoordinate(this, "nedtAssembleY", "Y：", 102, 88);
  nedtAssembleZ = MakeCoordinate(this, "nedtAssembleZ", "Z：", 192, 88);
  MakeLabel(this, "mm", 192 + CoordinateLabel + CoordinateWidth + 2, 91);

  MakeLabel(this, "俯角：", 12, 122);
  nedtAlpha = MakeEdit(this, "nedtAlpha", 52, 119);
  nedtAlpha->SetLimits(1, 90, true);
  nedtAlpha->SetValue(90);
  MakeLabel(this, "°", 52 + EditWidth + 4, 122);

  MakeLabel(this, "探测位置：", 12, 152);
  nedtSenseX = MakeCoordinate(this, "nedtSenseX", "X：", 12, 172);
  nedtSenseY = MakeCoordinate(this, "nedtSenseY", "Y：", 102, 172);
  MakeLabel(this, "mm", 102 + CoordinateLabel + CoordinateWidth + 2, 175);
  MakeReadOnly(nedtSenseX);
  MakeReadOnly(nedtSenseY);

  MakeLabel(this, "感应范围：", 12, 206);
  const struct {
    const char* Caption;
    const char* XName;
    const char* YName;
    TNumEdit** X;
    TNumEdit** Y;
  } corners[4] = {
      {"左上角：", "nedtTopLeftX", "nedtTopLeftY", &nedtTopLeftX, &nedtTopLeftY},
      {"左下角：", "nedtBottomLeftX", "nedtBottomLeftY", &nedtBottomLeftX, &nedtBottomLeftY},
      {"右上角：", "nedtTopRightX", "nedtTopRightY", &nedtTopRightX, &nedtTopRightY},
      {"右下角：", "nedtBottomRightX", "nedtBottomRightY", &nedtBottomRightX, &nedtBottomRightY},
  };
  for (int i = 0; i < 4; ++i) {
    const int y = 226 + 26 * i;
    MakeLabel(this, corners[i].Caption, 12, y + 3);
    *corners[i].X = MakeCoordinate(this, corners[i].XName, "X：", 72, y);
    *corners[i].Y = MakeCoordinate(this, corners[i].YName, "Y：", 156, y);
    MakeLabel(this, "mm", 156 + CoordinateLabel + CoordinateWidth + 2, y + 3);
    (*corners[i].X)->installEventFilter(this);
    (*corners[i].Y)->installEventFilter(this);
  }

  btnOK = MakeButton(this, "btnOK", "确定", 66, 338);
  btnCancel = MakeButton(this, "btnCancel", "取消", 162, 338);
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &TwdCCDSensorParams::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  for (TNumEdit* e : {nedtAssembleX, nedtAssembleY, nedtAssembleZ, nedtAlpha})
    connect(e, &TNumEdit::ValueChanged, this, &TwdCCDSensorParams::UpdateSensePoint);
  UpdateSensePoint();
}

void TwdCCDSensorParams::showEvent(QShowEvent* event) {
  UpdateSensePoint();
  QDialog::showEvent(event);
}

void TwdCCDSensorParams::UpdateSensePoint() {
  if (nedtAlpha->IntValue() == 0) nedtAlpha->SetValue(1);
  // The sensor's own formula, so that the dialog shows what OK will store.
  TCCDSensor probe;
  probe.SetAssembleX(nedtAssembleX->IntValue());
  probe.SetAssembleY(nedtAssembleY->IntValue());
  probe.SetAssembleZ(nedtAssembleZ->IntValue());
  probe.SetAlpha(nedtAlpha->IntValue());
  nedtSenseX->SetValue(probe.SenseX);
  nedtSenseY->SetValue(probe.SenseY);
}

bool TwdCCDSensorParams::eventFilter(QObject* watched, QEvent* event) {
  // Runs before the edit's own focus-out handling, which then shows the final value.
  if (event->type() == QEvent::FocusOut) PullBack(static_cast<TNumEdit*>(watched));
  return QDialog::eventFilter(watched, event);
}

void TwdCCDSensorParams::PullBack(TNumEdit* corner) {
  const double sx = nedtSenseX->Value();
  const double sy = nedtSenseY->Value();
  const double v = corner->Value();
  if (corner == nedtTopLeftX || corner == nedtBottomLeftX) {
    if (v > sx) corner->SetValue(sx);
  } else if (corner == nedtTopRightX || corner == nedtBottomRightX) {
    if (v < sx) corner->SetValue(sx);
  } else if (corner == nedtTopLeftY || corner == nedtTopRightY) {
    if (v < sy) corner->SetValue(sy);
  } else if (corner == nedtBottomLeftY || corner == nedtBottomRightY) {
    if (v > sy) corner->SetValue(sy);
  }
}

void TwdCCDSensorParams::btnOKClick() {
  if (!QuadIsProper(TopLeft(), BottomLeft(), TopRight(), BottomRight())) {
    ErrorBox(this, QStringLiteral("感应范围的四个角不构成有效的四边形，请重新输入！"));
    return;
  }
  accept();
}

TPointF TwdCCDSensorParams::TopLeft() const { return Corner(nedtTopLeftX, nedtTopLeftY); }
TPointF TwdCCDSensorParams::BottomLeft() const { return Corner(nedtBottomLeftX, nedtBottomLeftY); }
TPointF TwdCCDSensorParams::TopRight() const { return Corner(nedtTopRightX, nedtTopRightY); }
TPointF TwdCCDSensorParams::BottomRight() const {
  return Corner(nedtBottomRightX, nedtBottomRightY);
}

void TwdCCDSensorParams::LoadFromSensor(const TCCDSensor& sensor) {
  nedtTopLeftX->SetValue(sensor.TopLeft.X);
  nedtTopLeftY->SetValue(sensor.TopLeft.Y);
  nedtBottomLeftX->SetValue(sensor.BottomLeft.X);
  nedtBottomLeftY->SetValue(sensor.BottomLeft.Y);
  nedtTopRightX->SetValue(sensor.TopRight.X);
  nedtTopRightY->SetValue(sensor.TopRight.Y);
  nedtBottomRightX->SetValue(sensor.BottomRight.X);
  nedtBottomRightY->SetValue(sensor.BottomRight.Y);
  nedtPixelHeight->SetValue(sensor.PixelHeight);
  nedtPixelWidth->SetValue(sensor.PixelWidth);
  nedtAssembleX->SetValue(sensor.AssembleX);
  nedtAssembleY->SetValue(sensor.AssembleY);
  nedtAssembleZ->SetValue(sensor.AssembleZ);
  nedtAlpha->SetValue(sensor.Alpha);
  UpdateSensePoint();
}

void TwdCCDSensorParams::StoreToSensor(TCCDSensor& sensor) const {
  sensor.TopLeft = TopLeft();
  sensor.BottomLeft = BottomLeft();
  sensor.TopRight = TopRight();
  sensor.BottomRight = BottomRight();
  sensor.ComputeSenseArea(TopLeft(), BottomLeft(), TopRight(), BottomRight(),
                          nedtPixelWidth->IntValue(), nedtPixelHeight->IntValue());
  sensor.PixelHeight = nedtPixelHeight->IntValue();
  sensor.PixelWidth = nedtPixelWidth->IntValue();
  sensor.SetAssembleX(nedtAssembleX->IntValue());
  sensor.SetAssembleY(nedtAssembleY->IntValue());
  sensor.SetAssembleZ(nedtAssembleZ->IntValue());
  sensor.SetAlpha(nedtAlpha->IntValue());
}

}  // namespace k2
