// TwdLisghtSensorParams: the radius rule, the live sensed point, pre-filling and
// writing back.
#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include "car/CarGuiSupport.h"
#include "car/uLightSensorParams.h"
#include "car/uSensor.h"
#include "common/PageDriver.h"
#include "common/TestSupport.h"
#include "widgets/uNumEdit.h"

namespace k2 {
namespace {

using test::TypeAndLeave;

class LightSensorDialogTest : public ::testing::Test {
 protected:
  TwdLisghtSensorParams Dialog;
};

TEST_F(LightSensorDialogTest, OpensAsADiscreteSensorAtTheOrigin) {
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("光电传感器"));
  ASSERT_EQ(Dialog.cbbSensorType->count(), 2);
  EXPECT_EQ(Dialog.cbbSensorType->itemText(0), QStringLiteral("非连续型"));
  EXPECT_EQ(Dialog.cbbSensorType->itemText(1), QStringLiteral("连续型"));
  EXPECT_EQ(Dialog.cbbSensorType->currentIndex(), 0);
  EXPECT_FALSE(Dialog.nedtEffectiveR->isEnabled());
  EXPECT_EQ(Dialog.nedtEffectiveR->text(), QStringLiteral("0"));
  EXPECT_FALSE(Dialog.windowFlags() & Qt::WindowCloseButtonHint);
  for (TNumEdit* e : {Dialog.nedtSenseX, Dialog.nedtSenseY}) {
    EXPECT_TRUE(e->isReadOnly());
    EXPECT_EQ(e->focusPolicy(), Qt::NoFocus);
  }
  EXPECT_EQ(Dialog.btnOK->text(), QStringLiteral("确定"));
  EXPECT_EQ(Dialog.btnCancel->text(), QStringLiteral("取消"));
}

TEST_F(LightSensorDialogTest, RadiusOnlyForContinuousSensorsAndZeroAfterDiscrete) {
  Dialog.cbbSensorType->setCurrentIndex(1);
  EXPECT_TRUE(Dialog.nedtEffectiveR->isEnabled());
  TypeAndLeave(Dialog.nedtEffectiveR, QStringLiteral("1500"));
  EXPECT_EQ(Dialog.nedtEffectiveR->Value(), 1000);  // limits enforced
  Dialog.cbbSensorType->setCurrentIndex(0);
  EXPECT_FALSE(Dialog.nedtEffectiveR->isEnabled());
  EXPECT_EQ(Dialog.nedtEffectiveR->Value(), 0);
  Dialog.cbbSensorType->setCurrentIndex(1);
  EXPECT_TRUE(Dialog.nedtEffectiveR->isEnabled());
  EXPECT_EQ(Dialog.nedtEffectiveR->Value(), 0);
}

TEST_F(LightSensorDialogTest, SensedPointFollowsTheTyping) {
  struct Case {
    const char *X, *Y, *Z, *Beta;
    int SenseX, SenseY, BetaShown;
  } cases[] = {
      {"0", "100", "50", "45", 0, 150, 45},
      {"0", "100", "50", "0", 0, 100, 0},
      {"7", "0", "10", "95", 7, 573, 89},  // elevation limited to 89
      {"-30", "-40", "30", "60", -30, 12, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Beta);
    TypeAndLeave(Dialog.nedtAssembleX, QString::fromLatin1(c.X));
    TypeAndLeave(Dialog.nedtAssembleY, QString::fromLatin1(c.Y));
    TypeAndLeave(Dialog.nedtAssembleZ, QString::fromLatin1(c.Z));
    TypeAndLeave(Dialog.nedtBeta, QString::fromLatin1(c.Beta));
    EXPECT_EQ(Dialog.nedtBeta->IntValue(), c.BetaShown);
    EXPECT_EQ(Dialog.nedtSenseX->IntValue(), c.SenseX);
    EXPECT_EQ(Dialog.nedtSenseY->IntValue(), c.SenseY);
    EXPECT_EQ(Dialog.nedtSenseY->text(), QString::number(c.SenseY));
  }
}

TEST_F(LightSensorDialogTest, PrefillsFromASensorAndWritesBackInTheSensorsOrder) {
  TLightSensor source;
  source.SensorType = 1;
  source.EffectiveR = 30;
  source.SetAssembleX(-25);
  source.SetAssembleY(120);
  source.SetAssembleZ(40);
  source.SetBeta(30);
  Dialog.LoadFromSensor(source);
  EXPECT_EQ(Dialog.cbbSensorType->currentIndex(), 1);
  EXPECT_TRUE(Dialog.nedtEffectiveR->isEnabled());
  EXPECT_EQ(Dialog.nedtEffectiveR->IntValue(), 30);
  EXPECT_EQ(Dialog.nedtAssembleX->IntValue(), -25);
  EXPECT_EQ(Dialog.nedtAssembleY->IntValue(), 120);
  EXPECT_EQ(Dialog.nedtAssembleZ->IntValue(), 40);
  EXPECT_EQ(Dialog.nedtBeta->IntValue(), 30);
  EXPECT_EQ(Dialog.nedtSenseY->IntValue(), source.SenseY);

  // Changed in the dialog, written over a sensor holding other values: every field,
  // the derived ones included, is what the documented order gives.
  TypeAndLeave(Dialog.nedtAssembleZ, QStringLiteral("80"));
  TypeAndLeave(Dialog.nedtBeta, QStringLiteral("60"));
  TLightSensor target;
  target.SetAssembleZ(999);
  target.SetBeta(10);
  target.SenseX = 77;
  Dialog.StoreToSensor(target);
  TLightSensor expected;
  expected.SensorType = 1;
  expected.EffectiveR = 30;
  expected.SetAssembleX(-25);
  expected.SetAssembleY(120);
  expected.SetAssembleZ(80);
  expected.SetBeta(60);
  EXPECT_EQ(test::Record(target), test::Record(expected));
  EXPECT_EQ(target.SenseY, 259);  // round(tan 60° x 80 + 120)
  EXPECT_EQ(target.SenseX, -25);
}

TEST_F(LightSensorDialogTest, PrefilledDiscreteSensorKeepsNoRadius) {
  // A file may hold a radius for a discrete sensor; the dialog's rule clears it.
  TLightSensor source;
  source.EffectiveR = 40;
  source.SetAssembleZ(20);
  Dialog.LoadFromSensor(source);
  EXPECT_FALSE(Dialog.nedtEffectiveR->isEnabled());
  TLightSensor target;
  Dialog.StoreToSensor(target);
  EXPECT_EQ(target.SensorType, 0);
  EXPECT_EQ(target.EffectiveR, 0);
}

}  // namespace
}  // namespace k2
