#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "app/uOption.h"
#include "base/uSettings.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "track/uPath.h"

namespace k2 {
namespace {

struct TFieldCase {
  const char* Name;
  const char* Label;
  const char* Unit;
  const char* DefaultText;  // shown without a settings file
};

// Every field in the order of the pages, with what it shows for a missing key.
const TFieldCase Fields[TwdOption::FieldCount] = {
    {"nedtPathWidth", "默认赛道宽度：", "mm", "300"},
    {"nedtLineWidth", "默认中心线宽度：", "mm", "30"},
    {"nedtMiu", "默认摩擦系数：", "", "0.010"},
    {"nedtCarLength", "车长：", "mm", "400"},
    {"nedtCarWidth", "车宽：", "mm", "200"},
    {"nedtCarWeight", "整车质量：", "g", "2500"},
    {"nedtCarTrack", "轮距：", "mm", "300"},
    {"nedtCarWheelBase", "轴距：", "mm", "190"},
    {"nedtCarFrontLength", "前轴距横中心线距离：", "mm", "130"},
    {"nedtCarWheelD", "轮径：", "mm", "40"},
    {"nedtCarWheelWidth", "轮宽：", "mm", "20"},
    {"nedtRatio", "传动比：", "", "0.5000"},
    {"nedtMotorURated", "电机额定电压：", "V", "7.5"},
    {"nedtMotorIRated", "电机额定电流：", "A", "3.5"},
    {"nedtMotornRated", "电机额定转速：", "rpm", "2000"},
    {"nedtMotorTRated", "电机额定转矩：", "N·m", "10.0"},
    {"nedtMotorRa", "电枢回路电阻：", "Ω", "20.500"},
    {"nedtMotorL", "电枢回路电感：", "mH", "15"},
    {"nedtMaxSteerAngle", "前轮最大转角：±", "°", "40"},
    {"nedtSteerSpeed", "转角变化速率：", "°/s", "30"},
    {"nedtRulesSensorCount", "最大传感器数量：", "个", "16"},
    {"nedtRulesPathR", "赛道最小半径：", "mm", "400"},
};

// What OK writes with no settings file: all 22 keys with the dialog defaults.
const char DefaultFile[] =
    "[DefaultPathParam]\nPathWidth=300\nLineWidth=30\nMiu=0.01\n"
    "[DefaultCarParam]\nLength=400\nWidth=200\nWeight=2500\nTrack=300\nWheelBase=190\n"
    "WheelD=40\nWheelWidth=20\nFrontLength=130\nRatio=0.5\n"
    "[DefaultMotorParam]\nURated=7.5\nIRated=3.5\nTRated=10\nnRated=2000\nRa=20.5\nL=15\n"
    "[DefaultSteerMotorParam]\nMaxSteerAngle=40\nSteerSpeed=30\n"
    "[Rules]\nMaxSensorCount=16\nMinPathR=400\nSandboxModules=1\n";

class OptionTest : public ::testing::Test {
 protected:
  QString Ini() const { return Dir.Path(QStringLiteral("Kurvino2.ini")); }
  static QLineEdit* Field(QWidget& dialog, const char* name) {
    auto* e = dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_TRUE(e) << name;
    return e;
  }
  static QPushButton* Button(QWidget& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
  }
  // Replaces a field's text as the user would, then presses Enter.
  static void Type(QLineEdit* e, const QString& text) {
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
  }
  static int32_t IniInt(const QString& path, const char* section, const char* key) {
    return TIniFile(path).ReadInteger(QString::fromLatin1(section), QString::fromLatin1(key), -1);
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Boxes;
  QWidget Owner;
};

TEST_F(OptionTest, OpensWithTheDialogDefaultsWhenThereIsNoFile) {
  TwdOption dialog(&Owner);
  EXPECT_TRUE(Boxes.Boxes.empty());
  EXPECT_EQ(dialog.SettingsPath(), Ini());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选项"));
  EXPECT_EQ(dialog.size(), QSize(428, 266));
  EXPECT_FALSE(Button(dialog, "btnApply")->isEnabled());
  EXPECT_EQ(Button(dialog, "btnOK")->text(), QStringLiteral("确定"));
  EXPECT_EQ(Button(dialog, "btnCancel")->text(), QStringLiteral("取消"));
  EXPECT_EQ(Button(dialog, "btnApply")->text(), QStringLiteral("应用"));

  for (const TFieldCase& c : Fields) {
    QLineEdit* e = Field(dialog, c.Name);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->text(), QString::fromUtf8(c.DefaultText)) << c.Name;
    // Label to the left of the field, unit to its right.
    auto* grid = qobject_cast<QGridLayout*>(e->parentWidget()->layout());
    ASSERT_TRUE(grid);
    int row, col, rs, cs;
    grid->getItemPosition(grid->indexOf(e), &row, &col, &rs, &cs);
    auto* label = qobject_cast<QLabel*>(grid->itemAtPosition(row, col - 1)->widget());
    auto* unit = qobject_cast<QLabel*>(grid->itemAtPosition(row, col + 1)->widget());
    ASSERT_TRUE(label && unit) << c.Name;
    EXPECT_EQ(label->text(), QString::fromUtf8(c.Label)) << c.Name;
    EXPECT_EQ(unit->text(), QString::fromUtf8(c.Unit)) << c.Name;
  }
}

TEST_F(OptionTest, AlwaysOpensOnTheFirstPages) {
  TwdOption dialog(&Owner);
  auto* pages = dialog.findChild<QTabWidget*>(QStringLiteral("pcOption"));
  auto* car = dialog.findChild<QTabWidget*>(QStringLiteral("pcCarParam"));
  ASSERT_TRUE(pages && car);
  const QStringList outer{QStringLiteral("默认赛道参数"), QStringLiteral("默认赛车参数"),
                          QStringLiteral("规则")};
  const QStringList inner{QStringLiteral("基本参数"), QStringLiteral("电机参数"),
                          QStringLiteral("舵机参数")};
  ASSERT_EQ(pages->count(), 3);
  ASSERT_EQ(car->count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pages->tabText(i), outer[i]);
    EXPECT_EQ(car->tabText(i), inner[i]);
  }
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(car->currentIndex(), 0);
  EXPECT_TRUE(pages->widget(0)->isAncestorOf(Field(dialog, "nedtMiu")));
  EXPECT_TRUE(car->widget(1)->isAncestorOf(Field(dialog, "nedtMotorL")));
  EXPECT_TRUE(pages->widget(2)->isAncestorOf(Field(dialog, "nedtRulesPathR")));
}

TEST_F(OptionTest, OkWritesAllKeysAndNewTracksUseThem) {
  {
    TwdOption dialog(&Owner);
    Button(dialog, "btnOK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  EXPECT_EQ(test::ReadFile(Ini()), QByteArray(DefaultFile));
  {
    TwdOption dialog(&Owner);
    Type(Field(dialog, "nedtPathWidth"), QStringLiteral("250"));
    Button(dialog, "btnOK")->click();
  }
  EXPECT_EQ(TPath(nullptr, 3000, nullptr, 6000).PathWidth, 250);
  EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(OptionTest, ShowsTheFilesValuesAndWritesUntouchedOnesBackExactly) {
  Dir.WriteSettings(
      QStringLiteral("; team settings\n[DefaultMotorParam]\nURated=7.46\n"
                     "[Rules]\nMinPathR=abc\nMaxSensorCount=8\n"
                     "[DefaultPathParam]\nPathWidth=5000\nMiu=0.0125\n"));
  TwdOption dialog(&Owner);
  EXPECT_EQ(Field(dialog, "nedtMotorURated")->text(), QStringLiteral("7.5"));
  EXPECT_EQ(Field(dialog, "nedtRulesPathR")->text(), QStringLiteral("400"));
  EXPECT_EQ(Field(dialog, "nedtRulesSensorCount")->text(), QStringLiteral("8"));
  EXPECT_EQ(Field(dialog, "nedtPathWidth")->text(), QStringLiteral("1000"));  // limited
  Button(dialog, "btnOK")->click();
  const TIniFile ini(Ini());
  EXPECT_EQ(ini.ReadString(QStringLiteral("DefaultMotorParam"), QStringLiteral("URated"), {}),
            QStringLiteral("7.46"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("DefaultPathParam"), QStringLiteral("Miu"), {}),
            QStringLiteral("0.0125"));
  EXPECT_EQ(IniInt(Ini(), "Rules", "MinPathR"), 400);
  EXPECT_EQ(IniInt(Ini(), "DefaultPathParam", "PathWidth"), 1000);
  EXPECT_TRUE(test::ReadFile(Ini()).startsWith("; team settings\n"));
}

TEST_F(OptionTest, ApplyIsEnabledExactlyAfterAnEdit) {
  TwdOption dialog(&Owner);
  QPushButton* apply = Button(dialog, "btnApply");
  int value = 1;
  for (const TFieldCase& c : Fields) {
    ASSERT_FALSE(apply->isEnabled()) << c.Name;
    QLineEdit* e = Field(dialog, c.Name);
    e->selectAll();
    QTest::keyClicks(e, QString::number(value));
    EXPECT_TRUE(apply->isEnabled()) << c.Name;
    apply->click();
    EXPECT_FALSE(apply->isEnabled()) << c.Name;
    ++value;
  }
  // The last Apply wrote every field.
  EXPECT_EQ(IniInt(Ini(), "DefaultPathParam", "PathWidth"), 1);
  EXPECT_EQ(IniInt(Ini(), "Rules", "MinPathR"), 22);
  EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(OptionTest, CancelWritesNothing) {
  {
    TwdOption dialog(&Owner);
    Type(Field(dialog, "nedtCarLength"), QStringLiteral("450"));
    Button(dialog, "btnCancel")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  EXPECT_FALSE(QFileInfo::exists(Ini()));

  const QByteArray before("[Rules]\r\nMinPathR = 250\r\n");
  test::WriteFile(Ini(), before);
  {
    TwdOption dialog(&Owner);
    Type(Field(dialog, "nedtRulesPathR"), QStringLiteral("300"));
    Button(dialog, "btnCancel")->click();
  }
  EXPECT_EQ(test::ReadFile(Ini()), before);
}

TEST_F(OptionTest, CancelKeepsWhatApplyWrote) {
  TwdOption dialog(&Owner);
  Type(Field(dialog, "nedtRulesSensorCount"), QStringLiteral("8"));
  Button(dialog, "btnApply")->click();
  Type(Field(dialog, "nedtRulesSensorCount"), QStringLiteral("9"));
  Button(dialog, "btnCancel")->click();
  EXPECT_EQ(IniInt(Ini(), "Rules", "MaxSensorCount"), 8);
}

TEST_F(OptionTest, SaveFailureIsReportedAndApplyStaysEnabled) {
  SetMainSettingsPath(Dir.Path(QStringLiteral("no/such/folder/Kurvino2.ini")));
  TwdOption dialog(&Owner);
  EXPECT_TRUE(Boxes.Boxes.empty());  // a missing file is no failure
  Type(Field(dialog, "nedtMiu"), QStringLiteral("0.5"));
  Boxes.AnswerBox(QMessageBox::Ok);
  Button(dialog, "btnApply")->click();
  ASSERT_EQ(Boxes.Boxes.size(), 1u);
  EXPECT_EQ(Boxes.Boxes[0].Text, QStringLiteral("配置文件保存失败！\r\n文件夹不存在"));
  EXPECT_EQ(Boxes.Boxes[0].Title, QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Boxes.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Boxes.Boxes[0].Buttons, QMessageBox::Ok);
  EXPECT_TRUE(Button(dialog, "btnApply")->isEnabled());

  // OK reports the same failure and still closes.
  Boxes.AnswerBox(QMessageBox::Ok);
  Button(dialog, "btnOK")->click();
  ASSERT_EQ(Boxes.Boxes.size(), 2u);
  EXPECT_EQ(Boxes.Boxes[1].Text, QStringLiteral("配置文件保存失败！\r\n文件夹不存在"));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(Boxes.AllAnswersUsed());
}

TEST_F(OptionTest, UnreadableFileIsReportedAndNeverOverwritten) {
  ASSERT_TRUE(QDir(Dir.Dir()).mkdir(QStringLiteral("Kurvino2.ini")));  // a folder, not a file
  Boxes.AnswerBox(QMessageBox::Ok);
  TwdOption dialog(&Owner);
  ASSERT_EQ(Boxes.Boxes.size(), 1u);
  EXPECT_EQ(Boxes.Boxes[0].Text, QStringLiteral("配置文件读取失败！"));
  EXPECT_EQ(Boxes.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Field(dialog, "nedtMotorRa")->text(), QStringLiteral("20.500"));
  EXPECT_FALSE(Button(dialog, "btnApply")->isEnabled());
  EXPECT_FALSE(dialog.SaveSettings());
}

struct TEntryCase {
  const char* Name;     // field
  const char* Section;  // its key
  const char* Key;
  const char* Typed;    // keys pressed
  const char* Shown;    // text after Enter
  const char* Written;  // the key's text in the file after Apply
};
void PrintTo(const TEntryCase& c, std::ostream* os) { *os << c.Name << " " << c.Typed; }

class OptionEntryTest : public OptionTest, public ::testing::WithParamInterface<TEntryCase> {};

TEST_P(OptionEntryTest, KeepsOnlyValuesOfTheFieldsKind) {
  const TEntryCase& c = GetParam();
  TwdOption dialog(&Owner);
  QLineEdit* e = Field(dialog, c.Name);
  Type(e, QString::fromUtf8(c.Typed));
  EXPECT_EQ(e->text(), QString::fromUtf8(c.Shown));
  Button(dialog, "btnApply")->click();
  EXPECT_EQ(
      TIniFile(Ini()).ReadString(QString::fromLatin1(c.Section), QString::fromLatin1(c.Key), {}),
      QString::fromUtf8(c.Written));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionEntryTest,
    ::testing::Values(
        // Limited fields: up to the maximum, no minus sign.
        TEntryCase{"nedtPathWidth", SecPath, "PathWidth", "1500", "1000", "1000"},
        TEntryCase{"nedtPathWidth", SecPath, "PathWidth", "-5", "5", "5"},
        TEntryCase{"nedtMiu", SecPath, "Miu", "2", "1.000", "1"},
        // Shown rounded to the format, kept as typed.
        TEntryCase{"nedtMiu", SecPath, "Miu", "0.0125", "0.013", "0.0125"},
        // Integers round a number typed with decimals, never dropping the point; other
        // fields go beyond their design maximum.
        TEntryCase{"nedtMotornRated", SecMotor, "nRated", "1.5", "2", "2"},
        TEntryCase{"nedtMotornRated", SecMotor, "nRated", "12.7", "13", "13"},
        TEntryCase{"nedtMotornRated", SecMotor, "nRated", "30000", "30000", "30000"},
        TEntryCase{"nedtMaxSteerAngle", SecSteer, "MaxSteerAngle", "-5", "-5", "-5"},
        TEntryCase{"nedtMotorURated", SecMotor, "URated", "-1", "-1.0", "-1"},
        TEntryCase{"nedtRatio", SecCar, "Ratio", "2000.5", "2000.5000", "2000.5"},
        // Text that is no number brings the previous value back.
        TEntryCase{"nedtPathWidth", SecPath, "PathWidth", "", "300", "300"},
        TEntryCase{"nedtRulesPathR", SecRules, "MinPathR", "-", "400", "400"},
        TEntryCase{"nedtRulesPathR", SecRules, "MinPathR", "12a", "12", "12"}),
    [](const auto& info) {
      return std::string(info.param.Name) + "_" + std::to_string(info.index);
    });

TEST_F(OptionTest, EnterMovesThroughEveryFieldWithoutClosing) {
  TwdOption dialog(&Owner);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  auto* pages = dialog.findChild<QTabWidget*>(QStringLiteral("pcOption"));
  auto* car = dialog.findChild<QTabWidget*>(QStringLiteral("pcCarParam"));
  Field(dialog, Fields[0].Name)->setFocus();
  for (int i = 0; i + 1 < TwdOption::FieldCount; ++i) {
    ASSERT_EQ(QApplication::focusWidget(), Field(dialog, Fields[i].Name)) << Fields[i].Name;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QWidget* next = Field(dialog, Fields[i + 1].Name);
    EXPECT_EQ(QApplication::focusWidget(), next) << Fields[i].Name;
    EXPECT_TRUE(next->isVisible()) << Fields[i + 1].Name;
  }
  EXPECT_EQ(pages->currentIndex(), 2);
  EXPECT_EQ(car->currentIndex(), 2);
  // Enter in the last field stays there.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
  EXPECT_EQ(QApplication::focusWidget(), Field(dialog, "nedtRulesPathR"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_FALSE(QFileInfo::exists(Ini()));
}

TEST_F(OptionTest, TheSandboxBoxShowsAndWritesItsKey) {
  test::WriteFile(Ini(), QByteArray("[Rules]\nSandboxModules=0\n"));
  TwdOption dialog(&Owner);
  auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("chkRulesSandbox"));
  ASSERT_TRUE(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(Button(dialog, "btnApply")->isEnabled());
  box->click();
  EXPECT_TRUE(Button(dialog, "btnApply")->isEnabled());
  Button(dialog, "btnOK")->click();
  EXPECT_TRUE(test::ReadFile(Ini()).contains("SandboxModules=1\n"));
  EXPECT_TRUE(ReadRules(Ini()).SandboxModules);
}

}  // namespace
}  // namespace k2
