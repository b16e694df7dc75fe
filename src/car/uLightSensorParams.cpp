#include "car/uLightSensorParams.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "car/uSensor.h"
#include "car/uSensorDesign.h"
#include "widgets/uNumEdit.h"

namespace k2 {

TwdLisghtSensorParams::TwdLisghtSensorParams(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("光电传感器"));
  setFixedSize(304, 262);
  using namespace sensordialog;

  MakeLabel(this, "类型：", 12, 16);
  cbbSensorType = new QComboBox(this);
  cbbSensorType->setObjectName(QStringLiteral("cbbSensorType"));
  cbbSensorType->setGeometry(84, 12, 110, 24);
  for (const char* name : LightSensorTypeNames) cbbSensorType->addItem(QString::fromUtf8(name));
  cbbSensorType->setCurrentIndex(0);

  MakeLabel(this, "有效半径：", 12, 50);
  nedtEffectiveR = MakeEdit(this, "nedtEffectiveR", 84, 47);
  nedtEffectiveR->SetLimits(0, 1000, true);
  MakeLabel(this, "mm", 84 + EditWidth + 4, 50);

  MakeLabel(this, "安装位置：", 12, 82);
  nedtAssembleX = MakeCoordinate(this, "nedtAssembleX", "X：", 12, 104);
  nedtAssembleY = MakeCoordinate(this, "nedtAssembleY", "Y：", 102, 104);
  nedtAssembleZ = MakeCoordinate(this, "nedtAssembleZ", "Z：", 192, 104);
  MakeLabel(this, "mm", 192 + CoordinateLabel + CoordinateWidth + 2, 107);

  MakeLabel(this, "仰角：", 12, 140);
  nedtBeta = MakeEdit(this, "nedtBeta", 84, 137);
  nedtBeta->SetLimits(0, 89, true);
  MakeLabel(this, "°", 84 + EditWidth + 4, 140);

  MakeLabel(this, "探测位置：", 12, 172);
  nedtSenseX = MakeCoordinate(this, "nedtSenseX", "X：", 12, 194);
  nedtSenseY = MakeCoordinate(this, "nedtSenseY", "Y：", 102, 194);
  MakeLabel(this, "mm", 102 + CoordinateLabel + CoordinateWidth + 2, 197);
  MakeReadOnly(nedtSenseX);
  MakeReadOnly(nedtSenseY);

  btnOK = MakeButton(this, "btnOK", "确定", 66, 228);
  btnCancel = MakeButton(this, "btnCancel", "取消", 162, 228);
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  connect(cbbSensorType, &QComboBox::currentIndexChanged, this,
          &TwdLisghtSensorParams::UpdateSensePoint);
  for (TNumEdit* e : {nedtAssembleX, nedtAssembleY, nedtAssembleZ, nedtBeta})
    connect(e, &TNumEdit::ValueChanged, this, &TwdLisghtSensorParams::UpdateSensePoint);
  UpdateSensePoint();
}

void TwdLisghtSensorParams::showEvent(QShowEvent* event) {
  UpdateSensePoint();
  QDialog::showEvent(event);
}

void TwdLisghtSensorParams::UpdateSensePoint() {
  const bool discrete = cbbSensorType->currentIndex() <= 0;
  if (discrete) nedtEffectiveR->SetValue(0);
  nedtEffectiveR->setEnabled(!discrete);
  // The sensor's own formula, so that the dialog shows what OK will store.
  TLightSensor probe;
  probe.SetAssembleX(nedtAssembleX->IntValue());
  probe.SetAssembleY(nedtAssembleY->IntValue());
  probe.SetAssembleZ(nedtAssembleZ->IntValue());
  probe.SetBeta(nedtBeta->IntValue());
  nedtSenseX->SetValue(probe.SenseX);
  nedtSenseY->SetValue(probe.SenseY);
}

void TwdLisghtSensorParams::LoadFromSensor(const TLightSensor& sensor) {
  cbbSensorType->setCurrentIndex(std::min<int>(sensor.SensorType, cbbSensorType->count() - 1));
  nedtEffectiveR->SetValue(sensor.EffectiveR);
  nedtAssembleX->SetValue(sensor.AssembleX);
  nedtAssembleY->SetValue(sensor.AssembleY);
  nedtAssembleZ->SetValue(sensor.AssembleZ);
  nedtSenseX->SetValue(sensor.SenseX);
  nedtSenseY->SetValue(sensor.SenseY);
  nedtBeta->SetValue(sensor.Beta);
  UpdateSensePoint();
}

void TwdLisghtSensorParams::StoreToSensor(TLightSensor& sensor) const {
  sensor.SensorType = static_cast<uint8_t>(std::max(0, cbbSensorType->currentIndex()));
  sensor.EffectiveR = nedtEffectiveR->IntValue();
  sensor.SetAssembleX(nedtAssembleX->IntValue());
  sensor.SetAssembleY(nedtAssembleY->IntValue());
  sensor.SetAssembleZ(nedtAssembleZ->IntValue());
  sensor.SetBeta(nedtBeta->IntValue());
}

}  // namespace k2
