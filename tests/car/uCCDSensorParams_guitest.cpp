// TwdCCDSensorParams: the live sensed point, the corner pull-back, refusing corners
// without a picture mapping, pre-filling and writing back.
#include <QPushButton>
#include <gtest/gtest.h>

#include "car/CarGuiSupport.h"
#include "car/uCCDSensorParams.h"
#include "car/uSensor.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "widgets/uNumEdit.h"

namespace k2 {
namespace {

using test::Leave;
using test::TypeAndLeave;
using test::TypeOver;

class CCDSensorDialogTest : public ::testing::Test {
 protected:
  // The sensed point (0, 100) of the documented example.
  void MountAtExample() {
    TypeAndLeave(Dialog.nedtAssembleX, QStringLiteral("0"));
    TypeAndLeave(Dialog.nedtAssembleY, QStringLiteral("0"));
    TypeAndLeave(Dialog.nedtAssembleZ, QStringLiteral("100"));
    TypeAndLeave(Dialog.nedtAlpha, QStringLiteral("45"));
  }
  void SetCorners(TPointF tl, TPointF bl, TPointF tr, TPointF br) {
    const std::pair<TNumEdit*, float> values[8] = {
        {Dialog.nedtTopLeftX, tl.X},     {Dialog.nedtTopLeftY, tl.Y},
        {Dialog.nedtBottomLeftX, bl.X},  {Dialog.nedtBottomLeftY, bl.Y},
        {Dialog.nedtTopRightX, tr.X},    {Dialog.nedtTopRightY, tr.Y},
        {Dialog.nedtBottomRightX, br.X}, {Dialog.nedtBottomRightY, br.Y}};
    for (const auto& [edit, v] : values) edit->SetValue(v);
  }

  test::TScriptedDialogs Dialogs;
  TwdCCDSensorParams Dialog;
};

TEST_F(CCDSensorDialogTest, OpensWithOnePixelLookingStraightDown) {
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("CCD传感器"));
  EXPECT_EQ(Dialog.nedtPixelWidth->text(), QStringLiteral("1"));
  EXPECT_EQ(Dialog.nedtPixelHeight->text(), QStringLiteral("1"));
  EXPECT_EQ(Dialog.nedtAlpha->text(), QStringLiteral("90"));
  for (TNumEdit* e : {Dialog.nedtTopLeftX, Dialog.nedtBottomRightY, Dialog.nedtAssembleZ})
    EXPECT_EQ(e->text(), QStringLiteral("0"));
  for (TNumEdit* e : {Dialog.nedtSenseX, Dialog.nedtSenseY}) {
    EXPECT_TRUE(e->isReadOnly());
    EXPECT_EQ(e->focusPolicy(), Qt::NoFocus);
  }
  EXPECT_FALSE(Dialog.windowFlags() & Qt::WindowCloseButtonHint);
  // Limits: pixel counts 1..10000, depression 1..90.
  TypeAndLeave(Dialog.nedtPixelWidth, QStringLiteral("20000"));
  TypeAndLeave(Dialog.nedtPixelHeight, QStringLiteral("0"));
  TypeAndLeave(Dialog.nedtAlpha, QStringLiteral("0"));
  EXPECT_EQ(Dialog.nedtPixelWidth->IntValue(), 10000);
  EXPECT_EQ(Dialog.nedtPixelHeight->IntValue(), 1);
  EXPECT_EQ(Dialog.nedtAlpha->IntValue(), 1);
}

TEST_F(CCDSensorDialogTest, SensedPointFollowsTheTyping) {
  MountAtExample();
  EXPECT_EQ(Dialog.nedtSenseX->IntValue(), 0);
  EXPECT_EQ(Dialog.nedtSenseY->IntValue(), 100);
  TypeAndLeave(Dialog.nedtAlpha, QStringLiteral("90"));
  EXPECT_EQ(Dialog.nedtSenseY->IntValue(), 0);
  TypeAndLeave(Dialog.nedtAssembleX, QStringLiteral("-12"));
  TypeAndLeave(Dialog.nedtAssembleY, QStringLiteral("40"));
  TypeAndLeave(Dialog.nedtAlpha, QStringLiteral("30"));
  EXPECT_EQ(Dialog.nedtSenseX->IntValue(), -12);
  EXPECT_EQ(Dialog.nedtSenseY->IntValue(), 213);  // round(100 / tan 30° + 40)
}

TEST_F(CCDSensorDialogTest, CornerTypedOnTheWrongSideIsPulledOntoTheSensedPoint) {
  MountAtExample();
  // The documented example: top-left (20, 50) becomes (0, 100) once both fields are left.
  TypeOver(Dialog.nedtTopLeftX, QStringLiteral("20"));
  TypeOver(Dialog.nedtTopLeftY, QStringLiteral("50"));
  EXPECT_EQ(Dialog.nedtTopLeftX->IntValue(), 20);  // not before leaving
  Leave(Dialog.nedtTopLeftX);
  EXPECT_EQ(Dialog.nedtTopLeftX->IntValue(), 0);
  EXPECT_EQ(Dialog.nedtTopLeftX->text(), QStringLiteral("0"));
  EXPECT_EQ(Dialog.nedtTopLeftY->IntValue(), 50);
  Leave(Dialog.nedtTopLeftY);
  EXPECT_EQ(Dialog.nedtTopLeftY->IntValue(), 100);

  // Every corner field, on the wrong and on the right side of (0, 100).
  struct Case {
    TNumEdit* Edit;
    const char* Wrong;
    int Pulled;
    const char* Right;
  } cases[] = {
      {Dialog.nedtTopLeftX, "5", 0, "-40"},       {Dialog.nedtBottomLeftX, "1", 0, "-30"},
      {Dialog.nedtTopRightX, "-5", 0, "40"},      {Dialog.nedtBottomRightX, "-1", 0, "30"},
      {Dialog.nedtTopLeftY, "99", 100, "250"},    {Dialog.nedtTopRightY, "-10", 100, "101"},
      {Dialog.nedtBottomLeftY, "101", 100, "60"}, {Dialog.nedtBottomRightY, "900", 100, "-20"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Edit->objectName().toStdString());
    TypeAndLeave(c.Edit, QString::fromLatin1(c.Wrong));
    EXPECT_EQ(c.Edit->IntValue(), c.Pulled);
    TypeAndLeave(c.Edit, QString::fromLatin1(c.Right));
    EXPECT_EQ(c.Edit->IntValue(), QString::fromLatin1(c.Right).toInt());
  }
  // A field that never had the focus is left alone.
  Dialog.nedtTopRightX->SetValue(-50);
  TypeAndLeave(Dialog.nedtAssembleZ, QStringLiteral("200"));
  EXPECT_EQ(Dialog.nedtTopRightX->IntValue(), -50);
}

TEST_F(CCDSensorDialogTest, OkWithCornersThatFormNoQuadrilateralAsksAgain) {
  struct Case {
    TPointF TL, BL, TR, BR;
    bool Accepted;
  } cases[] = {
      {{0, 0}, {0, 0}, {0, 0}, {0, 0}, false},                // never entered
      {{-50, 200}, {0, 100}, {50, 200}, {0, 100}, false},     // near corners equal
      {{-50, 200}, {-50, 100}, {50, 200}, {-50, 0}, false},   // three on a line
      {{50, 200}, {30, 100}, {-50, 200}, {-30, 100}, false},  // left and right swapped
      {{-50, 200}, {-30, 100}, {50, 200}, {30, 100}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.TL.X + c.BL.Y);
    Dialogs.Boxes.clear();
    Dialog.setResult(0);
    SetCorners(c.TL, c.BL, c.TR, c.BR);
    if (!c.Accepted) Dialogs.AnswerBox(QMessageBox::Ok);
    Dialog.show();
    Dialog.btnOK->click();
    EXPECT_EQ(Dialog.result() == QDialog::Accepted, c.Accepted);
    EXPECT_EQ(Dialog.isVisible(), !c.Accepted);
    if (c.Accepted) {
      EXPECT_TRUE(Dialogs.Boxes.empty());
    } else {
      ASSERT_EQ(Dialogs.Boxes.size(), 1u);
      EXPECT_EQ(Dialogs.Boxes[0].Text,
                QStringLiteral("感应范围的四个角不构成有效的四边形，请重新输入！"));
      EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("Kurvino2 "));
      EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
    }
  }
}

TEST_F(CCDSensorDialogTest, PrefillsFromASensorAndWritesBackInTheSensorsOrder) {
  TCCDSensor source;
  source.ComputeSenseArea({-50, 200}, {-30, 100}, {50, 200}, {30, 100}, 80, 60);
  source.SetAssembleX(0);
  source.SetAssembleY(50);
  source.SetAssembleZ(100);
  source.SetAlpha(60);
  Dialog.LoadFromSensor(source);
  EXPECT_EQ(Dialog.nedtPixelWidth->IntValue(), 80);
  EXPECT_EQ(Dialog.nedtPixelHeight->IntValue(), 60);
  EXPECT_EQ(Dialog.nedtTopLeftX->IntValue(), -50);
  EXPECT_EQ(Dialog.nedtBottomLeftY->IntValue(), 100);
  EXPECT_EQ(Dialog.nedtTopRightX->IntValue(), 50);
  EXPECT_EQ(Dialog.nedtBottomRightX->IntValue(), 30);
  EXPECT_EQ(Dialog.nedtAlpha->IntValue(), 60);
  EXPECT_EQ(Dialog.nedtSenseY->IntValue(), source.SenseY);

  TypeAndLeave(Dialog.nedtPixelWidth, QStringLiteral("128"));
  TypeAndLeave(Dialog.nedtPixelHeight, QStringLiteral("32"));
  TypeAndLeave(Dialog.nedtTopRightX, QStringLiteral("70"));
  TypeAndLeave(Dialog.nedtAlpha, QStringLiteral("45"));
  // Written over a sensor holding other values: every field, the derived ones
  // included, is what the documented order gives.
  TCCDSensor target;
  target.ComputeSenseArea({-9, 9}, {-9, 1}, {9, 9}, {9, 1}, 5, 5);
  target.SetAssembleZ(7);
  Dialog.StoreToSensor(target);
  TCCDSensor expected;
  expected.TopLeft = {-50, 200};
  expected.BottomLeft = {-30, 100};
  expected.TopRight = {70, 200};
  expected.BottomRight = {30, 100};
  expected.ComputeSenseArea({-50, 200}, {-30, 100}, {70, 200}, {30, 100}, 128, 32);
  expected.PixelHeight = 32;
  expected.PixelWidth = 128;
  expected.SetAssembleX(0);
  expected.SetAssembleY(50);
  expected.SetAssembleZ(100);
  expected.SetAlpha(45);
  EXPECT_EQ(test::Record(target), test::Record(expected));
  EXPECT_EQ(target.SenseY, 150);
  EXPECT_EQ(target.SenseRect.Right, 70.0f);
  EXPECT_TRUE(target.HasProjection());
}

}  // namespace
}  // namespace k2
