// The replay page driven as a user drives it: the record opened through the scripted
// file dialog, buttons clicked, the progress bar dragged, keys pressed, and the run
// clock's ticks delivered by calling the main window's tick handler (never a real timer).
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QtWidgets/qtestsupport_widgets.h>
#include <array>
#include <gtest/gtest.h>
#include <memory>

#include "app/uMain.h"
#include "base/uSettings.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "replay/uReplay.h"
#include "replay/uReplaycontrol.h"
#include "simulation/SimFixtures.h"
#include "simulation/uRecord.h"
#include "simulation/uRecordCsv.h"
#include "simulation/uRunView.h"
#include "ui/uRunClock.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"
#include "widgets/uScope.h"

// Exported by QtGui and declared by Qt Test's keyboard header: the shortcut stage of a
// key press, as the platform runs it before the key reaches a widget.  This test
// program is not linked with Qt Test, so KeyClick below does what QTest::keyClick does.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods, const QString& text,
                                               bool autorep, ushort count);

namespace k2 {
namespace {

const char* const ButtonNames[8] = {"btnReplayOpen",    "btnReplayBack",  "btnReplayPlay",
                                    "btnReplayForward", "btnReplayPause", "btnReplayStop",
                                    "btnReplayClose",   "btnReplayExport"};

// The seven numeric readouts and the four file-name texts.
const char* const ReadoutNames[7] = {"nedtReplaySimuStep",   "nedtReplaySpeed", "nedtReplayAcc",
                                     "nedtReplayFrontAngle", "nedtReplayWarp",  "nedtReplayPosX",
                                     "nedtReplayPosY"};
const char* const NameTexts[4] = {"txtReplayRecordName", "txtReplayPathName", "txtReplayCarName",
                                  "txtReplayJudgeName"};

// A key press and release as the platform delivers it to `receiver`: first the shortcut
// stage (the receiver may claim the key with ShortcutOverride), then the key itself.
void KeyClick(QWidget* receiver, Qt::Key key) {
  const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
  if (!qt_sendShortcutOverrideEvent(receiver, 0, key, Qt::NoModifier, text, false, 1)) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(receiver, &press);
  }
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(receiver, &release);
}

// The values record i of WriteRecord holds, as the six readouts show them: speed,
// acceleration, front wheel angle, deviation, X, Y.  Record 0's speed is 1, so a cleared
// readout (0) is never mistaken for a step's value.
using TReadouts = std::array<double, 6>;
TReadouts RecordValues(int i) { return {1.0 + i, -0.5 * i, 0.25 * i, 2.0 * i, 2.0 * i, 10.0 * i}; }
const TReadouts Cleared = {0, 0, 0, 0, 0, 0};

class ReplayPageTest : public ::testing::Test {
 protected:
  ReplayPageTest() {
    Main.SwitchPage(3);
    Ui.SetRoot(Main.ReplayPage);
  }
  void TearDown() override { EXPECT_TRUE(Dialogs.AllAnswersUsed()); }

  // A record file `name` in the test folder with `count` steps of `stepMs`, on a track of
  // one straight line, by a car with two point sensors: record i holds the values of
  // RecordValues(i) (heading 0) and the readings (i, 255 - i).
  QString WriteRecord(const QString& name, int count, int32_t stepMs = 10) {
    auto track = test::MakeTrack({test::LineTo(0, 2000)});
    auto car = test::RowCar(2);
    TRecords records;
    records.SensorCount = 2;
    for (int i = 0; i < count; ++i) {
      const TReadouts v = RecordValues(i);
      const float fields[7] = {
          static_cast<float>(v[4]), static_cast<float>(v[5]), 0,
          static_cast<float>(v[2]), static_cast<float>(v[0]), static_cast<float>(v[1]),
          static_cast<float>(v[3])};
      const uint8_t readings[2] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i)};
      records.Add(fields, readings, 2);
    }
    const QString path = Dir.Path(name);
    QString error;
    EXPECT_TRUE(WriteRecordFile(
        path,
        {QStringLiteral("直道.kpf"), QStringLiteral("小车.kcf"), QStringLiteral("follower.so")},
        stepMs, *track, *car, records, error))
        << error.toStdString();
    return path;
  }

  // Opens `path` through the Open button, as the user picks it in the file dialog.
  void Open(const QString& path) {
    Dialogs.AnswerFile(path);
    Ui.Click("btnReplayOpen");
  }
  // Opens a record of `count` steps of `stepMs`; fails the test when the page stays closed.
  void OpenRecord(int count, int32_t stepMs = 10) {
    Open(WriteRecord(QStringLiteral("run.krf"), count, stepMs));
    ASSERT_TRUE(Main.State().CurReplay);
  }

  TReplayPage& Page() { return *Main.ReplayPage; }
  TReplay& Replay() { return *Main.State().CurReplay; }
  TRunClock& Clock() { return Main.RunClock(); }
  int32_t Index() { return Replay().Index; }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) Main.tmrRunTimer();
  }
  QString TimeText() const { return Ui.W<QLabel>("txtReplayTime")->text(); }
  int Bar() const { return Ui.W<QSlider>("trkbrProgress")->value(); }
  TReadouts Readouts() const {
    const char* const names[6] = {"nedtReplaySpeed", "nedtReplayAcc",  "nedtReplayFrontAngle",
                                  "nedtReplayWarp",  "nedtReplayPosX", "nedtReplayPosY"};
    TReadouts r{};
    for (int i = 0; i < 6; ++i) r[i] = Ui.W<TNumEdit>(names[i])->Value();
    return r;
  }
  // The names of the buttons that are enabled, in the order of ButtonNames.
  QStringList EnabledButtons() const {
    QStringList on;
    for (const char* name : ButtonNames)
      if (Ui.Enabled(name)) on << QString::fromLatin1(name);
    return on;
  }
  void ChooseRate(const char* caption) {
    auto* rate = Ui.W<QComboBox>("cbbReplayRate");
    const int i = rate->findText(QString::fromLatin1(caption));
    ASSERT_GE(i, 0) << caption;
    rate->setCurrentIndex(i);
  }
  void SetStepLength(int ms) {
    test::TypeAndLeave(Ui.W<TNumEdit>("nedtReplayFornBackStep"), QString::number(ms));
  }
  // The page's closed state, as at start-up.
  void ExpectClosed() {
    EXPECT_FALSE(Main.State().CurReplay);
    EXPECT_EQ(EnabledButtons(), QStringList{QStringLiteral("btnReplayOpen")});
    for (const char* name : {"cbbReplayRate", "nedtReplayFornBackStep", "trkbrProgress"})
      EXPECT_FALSE(Ui.Enabled(name)) << name;
    for (const char* name : NameTexts) EXPECT_TRUE(Ui.W<QLabel>(name)->text().isEmpty()) << name;
    EXPECT_TRUE(TimeText().isEmpty());
    EXPECT_EQ(Readouts(), Cleared);
    EXPECT_FALSE(Clock().IsRunning());
    EXPECT_EQ(Page().ReplayInterval(), 0);
  }
  // The question asked before a playing replay is stopped and closed.
  void ExpectPlayingQuestion(size_t box) {
    ASSERT_GT(Dialogs.Boxes.size(), box);
    const test::TShownBox& b = Dialogs.Boxes[box];
    EXPECT_EQ(b.Text, QStringLiteral("回放正在进行中。\r\n是否停止回放并关闭？"));
    EXPECT_EQ(b.Title, QStringLiteral("关闭回放文件"));
    EXPECT_EQ(b.Buttons, QMessageBox::Yes | QMessageBox::No);
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Dialogs;
  TwdMain Main;
  test::TPageDriver Ui;
};

// ---- the closed page --------------------------------------------------------------------

TEST_F(ReplayPageTest, StartsClosedWithOnlyOpenEnabled) {
  ASSERT_EQ(Main.CurrentPage(), 3);
  ExpectClosed();
  EXPECT_EQ(Clock().RunMode(), TRunMode::CarTest);

  auto* rate = Ui.W<QComboBox>("cbbReplayRate");
  QStringList rates;
  for (int i = 0; i < rate->count(); ++i) rates << rate->itemText(i);
  EXPECT_EQ(rates, (QStringList{"0.1x", "0.2x", "0.4x", "0.6x", "0.8x", "1.0x"}));
  EXPECT_EQ(rate->currentText(), QStringLiteral("1.0x"));

  auto* step = Ui.W<TNumEdit>("nedtReplayFornBackStep");
  EXPECT_TRUE(step->LimitsEnforced());
  EXPECT_EQ(step->Minimum(), 0);
  EXPECT_EQ(step->Maximum(), 100000);
  EXPECT_EQ(step->Value(), 500);
  EXPECT_EQ(step->text(), QStringLiteral("500"));

  auto* bar = Ui.W<QSlider>("trkbrProgress");
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_EQ(bar->tickInterval(), 5);
  EXPECT_EQ(bar->value(), 0);

  // Readouts and file names are shown in the disabled look, whatever the page's state.
  for (const char* name : ReadoutNames) EXPECT_FALSE(Ui.Enabled(name)) << name;
  for (const char* name : NameTexts) EXPECT_FALSE(Ui.Enabled(name)) << name;
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// ---- opening ------------------------------------------------------------------------------

TEST_F(ReplayPageTest, OpeningFillsTheNamesAndEnablesTheControls) {
  Open(WriteRecord(QStringLiteral("lap.krf"), 5, 20));
  ASSERT_TRUE(Main.State().CurReplay);

  // The dialog looked for record files in the program folder's Record folder.
  ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_FALSE(Dialogs.FileDialogs[0].Save);
  EXPECT_EQ(Dialogs.FileDialogs[0].Folder, ProgramDir() + QStringLiteral("Record"));
  EXPECT_EQ(Dialogs.FileDialogs[0].Filter, QStringLiteral("仿真记录文件(*.krf)"));
  EXPECT_TRUE(Dialogs.Boxes.empty());

  EXPECT_EQ(Ui.W<QLabel>("txtReplayRecordName")->text(), QStringLiteral("lap.krf"));
  EXPECT_EQ(Ui.W<QLabel>("txtReplayPathName")->text(), QStringLiteral("直道.kpf"));
  EXPECT_EQ(Ui.W<QLabel>("txtReplayCarName")->text(), QStringLiteral("小车.kcf"));
  EXPECT_EQ(Ui.W<QLabel>("txtReplayJudgeName")->text(), QStringLiteral("follower.so"));
  EXPECT_EQ(Ui.W<TNumEdit>("nedtReplaySimuStep")->Value(), 20);
  EXPECT_EQ(TimeText(), QStringLiteral("0.00s / 0.08s"));
  EXPECT_EQ(Bar(), 0);
  EXPECT_EQ(Readouts(), Cleared);

  EXPECT_EQ(EnabledButtons(), (QStringList{"btnReplayPlay", "btnReplayForward", "btnReplayClose",
                                           "btnReplayExport"}));
  for (const char* name : {"cbbReplayRate", "nedtReplayFornBackStep", "trkbrProgress"})
    EXPECT_TRUE(Ui.Enabled(name)) << name;
  for (const char* name : ReadoutNames) EXPECT_FALSE(Ui.Enabled(name)) << name;
  for (const char* name : NameTexts) EXPECT_FALSE(Ui.Enabled(name)) << name;
  EXPECT_EQ(Clock().RunMode(), TRunMode::Replay);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Index(), 0);
}

TEST_F(ReplayPageTest, OpeningDrawsTheFirstStep) {
  const QString path = WriteRecord(QStringLiteral("run.krf"), 5);
  Open(path);
  ASSERT_TRUE(Main.State().CurReplay);
  // What the engine draws for the first step on rasters of its own.
  QImage draw = MakeViewRaster(SimuMainViewSize), view = MakeViewRaster(RunOverviewSize);
  QImage sensors = MakeViewRaster(ReplaySensorsSize), ccd = MakeViewRaster(RunCcdSize);
  for (QImage* i : {&draw, &view, &sensors, &ccd}) i->fill(0);
  TReplay reference(&draw, RunMainSpan, &view, RunOverviewSpan, &sensors, &ccd);
  reference.RecordFile = path;
  ASSERT_TRUE(reference.LoadFromFile());
  reference.DrawInitial();
  EXPECT_NE(draw, MakeViewRaster(SimuMainViewSize));  // something was drawn
  EXPECT_EQ(*Ui.W<TRasterView>("imgReplayDraw")->Image(), draw);
  EXPECT_EQ(*Ui.W<TRasterView>("imgReplayView")->Image(), view);
  EXPECT_EQ(*Ui.W<TRasterView>("imgReplaySensors")->Image(), sensors);
}

struct TRefusedCase {
  const char* Name;
  bool WrongMagic;  // the first byte of the head changed
  int Cut;          // bytes cut off the end of the good file; -1: all of them
};
void PrintTo(const TRefusedCase& c, std::ostream* os) { *os << c.Name; }

class ReplayRefusedTest : public ReplayPageTest,
                          public ::testing::WithParamInterface<TRefusedCase> {};

TEST_P(ReplayRefusedTest, ARefusedFileIsReportedAndThePageStaysClosed) {
  const QString path = WriteRecord(QStringLiteral("bad.krf"), 3);
  QByteArray bytes = test::ReadFile(path);
  ASSERT_GT(bytes.size(), 100);
  if (GetParam().WrongMagic) bytes[0] = static_cast<char>(bytes[0] ^ 0x5A);
  bytes.chop(GetParam().Cut < 0 ? bytes.size() : GetParam().Cut);
  test::WriteFile(path, bytes);

  Dialogs.AnswerBox(QMessageBox::Ok);
  Open(path);
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("仿真记录文件打开错误！"));
  EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Dialogs.Boxes[0].Buttons, QMessageBox::Ok);
  ExpectClosed();
  EXPECT_EQ(Clock().RunMode(), TRunMode::CarTest);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplayRefusedTest,
                         ::testing::Values(TRefusedCase{"WrongMagic", true, 0},
                                           TRefusedCase{"EmptyFile", false, -1},
                                           TRefusedCase{"TailMissing", false, 100},
                                           TRefusedCase{"LastByteMissing", false, 1}),
                         test::TCaseName());

TEST_F(ReplayPageTest, ARecordWithoutStepsLeavesThePageClosedWithoutABox) {
  Open(WriteRecord(QStringLiteral("empty.krf"), 0));
  EXPECT_TRUE(Dialogs.Boxes.empty());
  ExpectClosed();
  EXPECT_EQ(Clock().RunMode(), TRunMode::CarTest);
}

TEST_F(ReplayPageTest, CancellingTheDialogChangesNothing) {
  Dialogs.AnswerFile(QString());
  Ui.Click("btnReplayOpen");
  EXPECT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_TRUE(Dialogs.Boxes.empty());
  ExpectClosed();
  EXPECT_EQ(Clock().RunMode(), TRunMode::CarTest);
}

// ---- rates ----------------------------------------------------------------------------------

struct TRateCase {
  const char* Name;
  int32_t StepMs;
  const char* Rate;
  int32_t Interval;  // the step x the rate's factor, rounded halves to even
};
void PrintTo(const TRateCase& c, std::ostream* os) { *os << c.Name; }

class ReplayRateTest : public ReplayPageTest, public ::testing::WithParamInterface<TRateCase> {};

TEST_P(ReplayRateTest, TheClockTicksAtTheRatesInterval) {
  OpenRecord(3, GetParam().StepMs);
  ChooseRate(GetParam().Rate);
  EXPECT_EQ(Page().ReplayInterval(), GetParam().Interval);
  Ui.Click("btnReplayPlay");
  EXPECT_TRUE(Clock().IsRunning());
  EXPECT_EQ(Clock().Interval(), GetParam().Interval);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplayRateTest,
                         ::testing::Values(TRateCase{"Tenth", 10, "0.1x", 100},
                                           TRateCase{"Fifth", 10, "0.2x", 50},
                                           TRateCase{"TwoFifths", 10, "0.4x", 25},
                                           TRateCase{"ThreeFifths", 10, "0.6x", 17},
                                           TRateCase{"FourFifthsHalfToEvenDown", 10, "0.8x", 12},
                                           TRateCase{"Full", 10, "1.0x", 10},
                                           TRateCase{"FourFifthsHalfToEvenUp", 30, "0.8x", 38},
                                           TRateCase{"TwoFifthsOf3msHalfToEvenUp", 3, "0.4x", 8},
                                           TRateCase{"ThreeFifthsOf3ms", 3, "0.6x", 5}),
                         test::TCaseName());

TEST_F(ReplayPageTest, ChangingTheRateWhilePlayingChangesTheIntervalAtOnce) {
  OpenRecord(50);
  Ui.Click("btnReplayPlay");
  EXPECT_EQ(Clock().Interval(), 10);
  Tick(3);
  for (const auto& [rate, interval] : {std::pair{"0.4x", 25}, std::pair{"0.1x", 100},
                                       std::pair{"0.6x", 17}, std::pair{"1.0x", 10}}) {
    ChooseRate(rate);
    EXPECT_EQ(Clock().Interval(), interval) << rate;
    EXPECT_TRUE(Clock().IsRunning()) << rate;
  }
  EXPECT_EQ(Index(), 3);  // the replay went on where it was
}

// ---- steps -------------------------------------------------------------------------------------

struct TStepCase {
  const char* Name;
  int StepLength;   // ms typed into the step-length edit
  int32_t Records;  // records moved by one step, at 10 ms a record
};
void PrintTo(const TStepCase& c, std::ostream* os) { *os << c.Name; }

class ReplayStepTest : public ReplayPageTest, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(ReplayStepTest, ForwardAndBackMoveByTheStepLength) {
  OpenRecord(201);
  SetStepLength(GetParam().StepLength);
  Ui.Click("btnReplayForward");
  EXPECT_EQ(Index(), GetParam().Records);
  EXPECT_EQ(TimeText(), QString::asprintf("%.2fs / 2.00s", GetParam().Records * 10 / 1000.0));
  EXPECT_EQ(Replay().Pos.Y, RecordValues(GetParam().Records)[5]);  // the step was applied
  EXPECT_TRUE(Ui.Enabled("btnReplayBack"));
  Ui.Click("btnReplayForward");
  EXPECT_EQ(Index(), 2 * GetParam().Records);
  Ui.Click("btnReplayBack");
  EXPECT_EQ(Index(), GetParam().Records);
  EXPECT_FALSE(Clock().IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplayStepTest,
                         ::testing::Values(TStepCase{"Zero", 0, 1}, TStepCase{"BelowTheStep", 7, 1},
                                           TStepCase{"OneStep", 10, 1},
                                           TStepCase{"HalfRoundsDownToEven", 25, 2},
                                           TStepCase{"HalfRoundsUpToEven", 15, 2},
                                           TStepCase{"Default", 500, 50}),
                         test::TCaseName());

TEST_F(ReplayPageTest, BackAndForwardAreEnabledByWhereTheReplayStands) {
  OpenRecord(5);
  SetStepLength(20);  // two records
  struct TMove {
    const char* Button;
    int32_t Index;
    bool Back, Forward;
  } moves[] = {{"btnReplayForward", 2, true, true}, {"btnReplayForward", 4, true, false},
               {"btnReplayBack", 2, true, true},    {"btnReplayBack", 0, false, true},
               {"btnReplayForward", 2, true, true}, {"btnReplayForward", 4, true, false}};
  EXPECT_FALSE(Ui.Enabled("btnReplayBack"));
  for (const TMove& m : moves) {
    Ui.Click(m.Button);
    EXPECT_EQ(Index(), m.Index) << m.Button << " to " << m.Index;
    EXPECT_EQ(Ui.Enabled("btnReplayBack"), m.Back) << m.Button << " to " << m.Index;
    EXPECT_EQ(Ui.Enabled("btnReplayForward"), m.Forward) << m.Button << " to " << m.Index;
  }
  EXPECT_EQ(TimeText(), QStringLiteral("0.04s / 0.04s"));
  EXPECT_EQ(Bar(), 100);
}

TEST_F(ReplayPageTest, AStepWhilePlayingKeepsPlaying) {
  OpenRecord(100);
  Ui.Click("btnReplayPlay");
  Tick(5);
  Ui.Click("btnReplayForward");  // 500 ms: 50 records
  EXPECT_EQ(Index(), 55);
  EXPECT_TRUE(Clock().IsRunning());
  Tick();
  EXPECT_EQ(Index(), 56);
}

// ---- time and progress bar ----------------------------------------------------------------------

TEST_F(ReplayPageTest, ARecordOfOneStepShowsNoTime) {
  OpenRecord(1);
  EXPECT_EQ(TimeText(), QStringLiteral("0.00s / 0.00s"));
  EXPECT_EQ(Bar(), 0);
}

struct TDragCase {
  const char* Name;
  int Position;
  int32_t Index;
  const char* Time;
};
void PrintTo(const TDragCase& c, std::ostream* os) { *os << c.Name; }

class ReplayDragTest : public ReplayPageTest, public ::testing::WithParamInterface<TDragCase> {};

TEST_P(ReplayDragTest, DraggingTheBarSeeks) {
  OpenRecord(201);
  Ui.Click("btnReplayForward");  // away from the start, so that 0 is a move too
  auto* bar = Ui.W<QSlider>("trkbrProgress");
  // The press lands on the handle, where it does not move the bar itself.
  QStyleOptionSlider o;
  o.initFrom(bar);
  o.orientation = bar->orientation();
  o.minimum = bar->minimum();
  o.maximum = bar->maximum();
  o.sliderPosition = o.sliderValue = bar->value();
  o.tickPosition = bar->tickPosition();
  o.tickInterval = bar->tickInterval();
  o.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
  const QPointF handle =
      bar->style()->subControlRect(QStyle::CC_Slider, &o, QStyle::SC_SliderHandle, bar).center();
  const int before = bar->value();
  QMouseEvent press(QEvent::MouseButtonPress, handle, bar->mapToGlobal(handle), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(bar, &press);
  EXPECT_TRUE(Main.State().ProgressDragging);
  EXPECT_EQ(bar->value(), before);

  bar->setValue(GetParam().Position);
  EXPECT_TRUE(Main.State().ProgressDragging);
  EXPECT_EQ(Index(), GetParam().Index);
  EXPECT_EQ(TimeText(), QString::fromLatin1(GetParam().Time));
  EXPECT_EQ(bar->value(), GetParam().Position);
  EXPECT_EQ(Replay().Pos.Y, RecordValues(GetParam().Index)[5]);

  QMouseEvent release(QEvent::MouseButtonRelease, handle, bar->mapToGlobal(handle), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(bar, &release);
  EXPECT_FALSE(Main.State().ProgressDragging);
  EXPECT_EQ(Index(), GetParam().Index);
  EXPECT_FALSE(Clock().IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplayDragTest,
                         ::testing::Values(TDragCase{"Middle", 50, 100, "1.00s / 2.00s"},
                                           TDragCase{"End", 100, 200, "2.00s / 2.00s"},
                                           TDragCase{"Start", 0, 0, "0.00s / 2.00s"}),
                         test::TCaseName());

TEST_F(ReplayPageTest, ABarChangeFromOutsideThePageSeeksWhilePlaying) {
  OpenRecord(201);
  Ui.Click("btnReplayPlay");
  Tick(3);
  Ui.W<QSlider>("trkbrProgress")->setValue(50);
  EXPECT_EQ(Index(), 100);
  EXPECT_TRUE(Clock().IsRunning());
  Tick();
  EXPECT_EQ(Index(), 101);
}

// ---- playing ----------------------------------------------------------------------------------

TEST_F(ReplayPageTest, EachTickDrawsTheStepAndAdvancesToTheEnd) {
  const QString path = WriteRecord(QStringLiteral("run.krf"), 30);
  Open(path);
  ASSERT_TRUE(Main.State().CurReplay);
  Ui.Click("btnReplayPlay");
  EXPECT_TRUE(Clock().IsRunning());
  EXPECT_EQ(Clock().Interval(), 10);
  EXPECT_EQ(Clock().RunMode(), TRunMode::Replay);
  EXPECT_EQ(EnabledButtons(), (QStringList{"btnReplayBack", "btnReplayForward", "btnReplayPause",
                                           "btnReplayStop", "btnReplayClose", "btnReplayExport"}));
  EXPECT_TRUE(Ui.W<TScope>("vrscpReplaySpeed")->Active());

  // The frames the engine draws for a step, on rasters of its own.
  QImage draw = MakeViewRaster(SimuMainViewSize), view = MakeViewRaster(RunOverviewSize);
  QImage sensors = MakeViewRaster(ReplaySensorsSize), ccd = MakeViewRaster(RunCcdSize);
  for (QImage* i : {&draw, &view, &sensors, &ccd}) i->fill(0);
  TReplay reference(&draw, RunMainSpan, &view, RunOverviewSpan, &sensors, &ccd);
  reference.RecordFile = path;
  ASSERT_TRUE(reference.LoadFromFile());
  reference.DrawInitial();
  const auto expectFrame = [&](int32_t index, int tick) {
    reference.SeekIndex(index);
    reference.DrawFrame();
    EXPECT_EQ(*Ui.W<TRasterView>("imgReplayDraw")->Image(), draw) << "tick " << tick;
    EXPECT_EQ(*Ui.W<TRasterView>("imgReplayView")->Image(), view) << "tick " << tick;
    EXPECT_EQ(*Ui.W<TRasterView>("imgReplaySensors")->Image(), sensors) << "tick " << tick;
  };

  // With 10 ms the readouts are due when 10 x the ticks counted since the last refresh
  // (or since Play) exceed 100 ms: at tick 12, then every 11th tick.
  TReadouts shown = Cleared;
  QString time = QStringLiteral("0.00s / 0.29s");
  for (int tick = 1; tick <= 29; ++tick) {
    Tick();
    if (tick == 12 || tick == 23) {
      shown = RecordValues(tick - 1);  // the step drawn by this tick
      time = QString::asprintf("%.2fs / 0.29s", (tick - 1) / 100.0);
      EXPECT_EQ(Bar(), qRound((tick - 1) * 100.0 / 29)) << "tick " << tick;
    }
    EXPECT_EQ(Index(), tick) << "tick " << tick;
    EXPECT_EQ(Readouts(), shown) << "tick " << tick;
    EXPECT_EQ(TimeText(), time) << "tick " << tick;
    if (tick == 1 || tick == 2 || tick == 12 || tick == 29) expectFrame(tick - 1, tick);
  }
  EXPECT_TRUE(Clock().IsRunning());

  // The tick that finds the last step shows it and stops.
  Tick();
  EXPECT_EQ(Index(), 29);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Readouts(), RecordValues(29));
  EXPECT_EQ(TimeText(), QStringLiteral("0.29s / 0.29s"));
  EXPECT_EQ(Bar(), 100);
  expectFrame(29, 30);
  EXPECT_EQ(EnabledButtons(), (QStringList{"btnReplayBack", "btnReplayPlay", "btnReplayStop",
                                           "btnReplayClose", "btnReplayExport"}));
  EXPECT_FALSE(Ui.W<TScope>("vrscpReplaySpeed")->Active());
  Tick();  // a tick queued before the stop is ignored
  EXPECT_EQ(Index(), 29);

  // Play at the last step starts again at the first.
  Ui.Click("btnReplayPlay");
  EXPECT_EQ(Index(), 0);
  EXPECT_TRUE(Clock().IsRunning());
  Tick();
  EXPECT_EQ(Index(), 1);
  expectFrame(0, 1);
}

TEST_F(ReplayPageTest, PauseKeepsTheStepAndPlayGoesOnFromIt) {
  OpenRecord(30);
  Ui.Click("btnReplayPlay");
  Tick(15);
  Ui.Click("btnReplayPause");
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Index(), 15);
  EXPECT_EQ(Readouts(), RecordValues(11));  // as last refreshed
  EXPECT_EQ(EnabledButtons(), (QStringList{"btnReplayBack", "btnReplayPlay", "btnReplayForward",
                                           "btnReplayStop", "btnReplayClose", "btnReplayExport"}));
  EXPECT_FALSE(Ui.W<TScope>("vrscpReplaySpeed")->Active());
  Tick(3);  // a stopped clock's ticks are ignored
  EXPECT_EQ(Index(), 15);
  Ui.Click("btnReplayPlay");
  Tick();
  EXPECT_EQ(Index(), 16);
}

TEST_F(ReplayPageTest, StopGoesBackToTheFirstStepWithTheReadoutsCleared) {
  OpenRecord(30);
  Ui.Click("btnReplayPlay");
  Tick(15);
  ASSERT_EQ(Readouts(), RecordValues(11));
  Ui.Click("btnReplayStop");
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Index(), 0);
  EXPECT_EQ(Readouts(), Cleared);
  EXPECT_EQ(TimeText(), QStringLiteral("0.00s / 0.29s"));
  EXPECT_EQ(Bar(), 0);
  EXPECT_EQ(EnabledButtons(), (QStringList{"btnReplayPlay", "btnReplayForward", "btnReplayClose",
                                           "btnReplayExport"}));
}

// ---- closing and leaving ------------------------------------------------------------------------

TEST_F(ReplayPageTest, CloseWhilePlayingAsksAndNoKeepsPlaying) {
  OpenRecord(30, 20);
  Ui.Click("btnReplayPlay");
  Tick(4);
  Dialogs.AnswerBox(QMessageBox::No);
  Ui.Click("btnReplayClose");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  ExpectPlayingQuestion(0);
  EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Warning);
  ASSERT_TRUE(Main.State().CurReplay);
  EXPECT_TRUE(Clock().IsRunning());
  EXPECT_EQ(Index(), 4);
  Tick();
  EXPECT_EQ(Index(), 5);

  Dialogs.AnswerBox(QMessageBox::Yes);
  Ui.Click("btnReplayClose");
  ASSERT_EQ(Dialogs.Boxes.size(), 2u);
  ExpectPlayingQuestion(1);
  ExpectClosed();
  EXPECT_EQ(Ui.W<TNumEdit>("nedtReplaySimuStep")->Value(), 0);
}

TEST_F(ReplayPageTest, ClosePausedAsksNothing) {
  OpenRecord(30, 20);
  Ui.Click("btnReplayPlay");
  Tick(4);
  Ui.Click("btnReplayPause");
  Ui.Click("btnReplayClose");
  EXPECT_TRUE(Dialogs.Boxes.empty());
  ExpectClosed();
  EXPECT_EQ(Ui.W<TNumEdit>("nedtReplaySimuStep")->Value(), 0);
  // The page opens again as it did the first time.
  OpenRecord(3, 20);
  EXPECT_EQ(Index(), 0);
  EXPECT_EQ(TimeText(), QStringLiteral("0.00s / 0.04s"));
}

struct TLeaveCase {
  const char* Name;
  bool Close;  // the window is closed (FormClose) instead of switching to the simulation page
};
void PrintTo(const TLeaveCase& c, std::ostream* os) { *os << c.Name; }

class ReplayLeaveTest : public ReplayPageTest, public ::testing::WithParamInterface<TLeaveCase> {
 protected:
  // True when the page was left.
  bool Leave() {
    if (GetParam().Close) return Main.FormClose();
    Main.SwitchPage(2);
    return Main.CurrentPage() == 2;
  }
};

TEST_P(ReplayLeaveTest, LeavingWhilePlayingAsksAndNoKeepsPageAndReplay) {
  OpenRecord(30, 20);
  Ui.Click("btnReplayPlay");
  Tick(4);
  Dialogs.AnswerBox(QMessageBox::No);
  EXPECT_FALSE(Leave());
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  ExpectPlayingQuestion(0);
  EXPECT_EQ(Main.CurrentPage(), 3);
  ASSERT_TRUE(Main.State().CurReplay);
  EXPECT_TRUE(Clock().IsRunning());
  EXPECT_EQ(Index(), 4);
  Tick();
  EXPECT_EQ(Index(), 5);

  Dialogs.AnswerBox(QMessageBox::Yes);
  EXPECT_TRUE(Leave());
  ASSERT_EQ(Dialogs.Boxes.size(), 2u);
  ExpectPlayingQuestion(1);
  EXPECT_FALSE(Main.State().CurReplay);
  EXPECT_FALSE(Clock().IsRunning());
}

TEST_P(ReplayLeaveTest, LeavingWhilePausedAsksNothingAndKeepsTheStepReadout) {
  OpenRecord(30, 20);
  Ui.Click("btnReplayPlay");
  Tick(4);
  Ui.Click("btnReplayPause");
  EXPECT_TRUE(Leave());
  EXPECT_TRUE(Dialogs.Boxes.empty());
  ExpectClosed();
  EXPECT_EQ(Ui.W<TNumEdit>("nedtReplaySimuStep")->Value(), 20);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplayLeaveTest,
                         ::testing::Values(TLeaveCase{"SwitchPage", false},
                                           TLeaveCase{"CloseWindow", true}),
                         test::TCaseName());

// ---- keys
// -----------------------------------------------------------------------------------------

class ReplayKeysTest : public ReplayPageTest {
 protected:
  // The keys are window shortcuts: the window is shown and active, before any clock runs
  // (activating processes events, which would deliver real ticks).
  void SetUp() override {
    Main.show();
    QApplication::setActiveWindow(&Main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main));
  }
};

TEST_F(ReplayKeysTest, KeysActAsTheirButtons) {
  OpenRecord(201);
  struct TKey {
    Qt::Key Key;
    int32_t Index;
    bool Running;
  } keys[] = {
      {Qt::Key_Left, 0, false},     // Back is disabled at the start
      {Qt::Key_Right, 50, false},   // the step length, 500 ms
      {Qt::Key_Right, 100, false},  //
      {Qt::Key_Left, 50, false},    //
      {Qt::Key_End, 200, false},    //
      {Qt::Key_Right, 200, false},  // Forward is disabled at the end
      {Qt::Key_Home, 0, false},     //
      {Qt::Key_Space, 0, true},     // plays
      {Qt::Key_Right, 50, true},    // a step while playing keeps playing
      {Qt::Key_Space, 50, false},   // pauses
      {Qt::Key_End, 200, false},    //
      {Qt::Key_Space, 0, true},     // plays again from the first step
  };
  for (const TKey& k : keys) {
    KeyClick(&Main, k.Key);
    EXPECT_EQ(Index(), k.Index) << QKeySequence(k.Key).toString().toStdString();
    EXPECT_EQ(Clock().IsRunning(), k.Running) << QKeySequence(k.Key).toString().toStdString();
  }
  EXPECT_FALSE(Ui.Enabled("btnReplayPlay"));
  EXPECT_TRUE(Ui.Enabled("btnReplayPause"));
}

// The platform delivers a key to the focus widget (or the window without one): the keys
// work from wherever the page leaves the focus, here on a button after opening.
TEST_F(ReplayKeysTest, KeysWorkFromTheFocusWidget) {
  OpenRecord(201);
  const auto focused = [this]() -> QWidget* {
    QWidget* f = QApplication::focusWidget();
    return f ? f : &Main;
  };
  ASSERT_TRUE(Page().isAncestorOf(QApplication::focusWidget()));
  KeyClick(focused(), Qt::Key_Space);
  EXPECT_TRUE(Clock().IsRunning());
  KeyClick(focused(), Qt::Key_Space);
  EXPECT_FALSE(Clock().IsRunning());
  KeyClick(focused(), Qt::Key_End);
  EXPECT_EQ(Index(), 200);
  KeyClick(focused(), Qt::Key_Left);
  EXPECT_EQ(Index(), 150);
  KeyClick(focused(), Qt::Key_Home);
  EXPECT_EQ(Index(), 0);
}

TEST_F(ReplayKeysTest, SpaceInTheStepLengthEditDoesNotPlay) {
  OpenRecord(201);
  auto* edit = Ui.W<TNumEdit>("nedtReplayFornBackStep");
  edit->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), edit);
  KeyClick(edit, Qt::Key_Space);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Index(), 0);
  EXPECT_TRUE(edit->text().trimmed() == QStringLiteral("500")) << edit->text().toStdString();
}

TEST_F(ReplayKeysTest, KeysDoNothingOnAnotherPage) {
  OpenRecord(201);
  Ui.Click("btnReplayForward");
  Main.SwitchPage(2);
  ASSERT_EQ(Main.CurrentPage(), 2);
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Right, Qt::Key_End, Qt::Key_Left, Qt::Key_Home}) {
    KeyClick(&Main, key);
    EXPECT_FALSE(Clock().IsRunning()) << QKeySequence(key).toString().toStdString();
    EXPECT_FALSE(Main.State().CurReplay) << QKeySequence(key).toString().toStdString();
  }
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// ---- export
// -----------------------------------------------------------------------------------------

TEST_F(ReplayPageTest, ExportWritesTheRecordAsCsvWhereTheUserSays) {
  const QString record = WriteRecord(QStringLiteral("lap.1.krf"), 12, 20);
  Open(record);
  ASSERT_TRUE(Main.State().CurReplay);
  const QString out = Dir.Path(QStringLiteral("chosen.csv"));
  Dialogs.AnswerFile(out);
  Ui.Click("btnReplayExport");
  ASSERT_EQ(Dialogs.FileDialogs.size(), 2u);
  const test::TShownFileDialog& d = Dialogs.FileDialogs[1];
  EXPECT_TRUE(d.Save);
  EXPECT_EQ(d.Folder, Dir.Dir());
  EXPECT_EQ(d.Proposed, Dir.Path(QStringLiteral("lap.1.csv")));
  EXPECT_EQ(d.Filter, QStringLiteral("CSV文件(*.csv)"));
  EXPECT_TRUE(Dialogs.Boxes.empty());

  // The same bytes as the records read from the file, written by the CSV unit.
  TReplay reference(nullptr, RunMainSpan, nullptr, RunOverviewSpan, nullptr, nullptr);
  reference.RecordFile = record;
  ASSERT_TRUE(reference.LoadFromFile());
  QString error;
  const QString expected = Dir.Path(QStringLiteral("expected.csv"));
  ASSERT_TRUE(WriteRecordCsv(expected, *reference.Track, reference.Records, 20, error));
  const QByteArray bytes = test::ReadFile(out);
  EXPECT_EQ(bytes, test::ReadFile(expected));
  const QList<QByteArray> lines = bytes.split('\n');
  ASSERT_EQ(lines.size(), 14);  // the header, 12 steps and the empty rest after the last "\n"
  EXPECT_EQ(lines[0],
            "step,time_s,PosX,PosY,Heading,SteerAngle,Speed,Acc,Warp,R1,R2,"
            "progress_mm,laps,lap_time_s,lap_valid,off_track");
  EXPECT_TRUE(lines[12].startsWith("11,0.24,22,110,0,2.75,12,-5.5,22,11,244,"))
      << lines[12].toStdString();
  // Exporting changes nothing on the page.
  EXPECT_EQ(Index(), 0);
  EXPECT_EQ(EnabledButtons(), (QStringList{"btnReplayPlay", "btnReplayForward", "btnReplayClose",
                                           "btnReplayExport"}));
}

TEST_F(ReplayPageTest, ExportCancelledWritesNothing) {
  OpenRecord(3);
  Dialogs.AnswerFile(QString());
  Ui.Click("btnReplayExport");
  EXPECT_TRUE(Dialogs.Boxes.empty());
  EXPECT_FALSE(QFileInfo::exists(Dir.Path(QStringLiteral("run.csv"))));
}

TEST_F(ReplayPageTest, AFailedExportNamesTheFile) {
  OpenRecord(3);
  Dialogs.AnswerFile(Dir.Path(QStringLiteral("missing/out.csv")));
  Dialogs.AnswerBox(QMessageBox::Ok);
  Ui.Click("btnReplayExport");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  const QStringList lines = Dialogs.Boxes[0].Text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 2) << Dialogs.Boxes[0].Text.toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("out.csv保存失败！"));
  EXPECT_FALSE(lines[1].isEmpty());  // why, in words
  EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_FALSE(QFileInfo::exists(Dir.Path(QStringLiteral("missing"))));
  ASSERT_TRUE(Main.State().CurReplay);  // the replay stays open
}

}  // namespace
}  // namespace k2
