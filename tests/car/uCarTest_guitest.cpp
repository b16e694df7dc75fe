// The car test of the car page, driven as a user drives it: the car opened or made
// through the page, the test's buttons clicked, arrow keys pressed and released on the
// main window, and the run clock's ticks delivered by calling the window's tick
// handler (no real timer ever fires: nothing here processes events while the clock runs).
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QtWidgets/qtestsupport_widgets.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "app/uMain.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "car/uCarDesign.h"
#include "car/uMotor.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uSimu.h"
#include "ui/uRunClock.h"
#include "widgets/uDialGauge.h"
#include "widgets/uGroupBox.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"

namespace k2 {
namespace {

using Btn = QMessageBox::StandardButton;

const char* const EditingGroups[] = {"grpCarBasic", "grpCarMotor", "grpCarSteer", "grpCarFile",
                                     "grpCarSensor"};
const char* const TestViews[] = {"imgCarView", "imgCarSensors", "imgCarCCD"};

bool Blank(const QImage& img) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) != 0) return false;
  return true;
}

// The test track: a straight line from the origin along +x, then a left turn.
const std::vector<test::TElementSpec> TestTrack = {test::LineTo(3000, 0),
                                                   test::ArcAround(3000, 1000, 90)};

// The car's parameters as its file stores them.
QByteArray CarRecord(const TCar& car) {
  TStreamWriter w;
  car.WriteCarRecord(w);
  return w.Data();
}

class CarTestTest : public ::testing::Test, protected test::TPageDriver {
 protected:
  CarTestTest() {
    QDir(Dir.Dir()).mkdir(QStringLiteral("Car"));
    Main = std::make_unique<TwdMain>();
    Main->SwitchPage(1);
    SetRoot(Main->CarPage);
  }
  void TearDown() override { EXPECT_TRUE(Dialogs.AllAnswersUsed()); }

  QString DefaultTrack() const { return Dir.Path(QStringLiteral("Default.kpf")); }
  void WriteDefaultTrack() { ASSERT_TRUE(test::SaveTrack(DefaultTrack(), TestTrack)); }
  // Opens a car with three point sensors and a CCD, as saved, not modified.
  void OpenCar() {
    auto car = test::RowCar(3, 20, true);
    const QString file = Dir.Path(QStringLiteral("Car/racer.kcf"));
    ASSERT_TRUE(test::SaveCar(file, *car));
    Dialogs.AnswerFile(file);
    Click("btnOpenCar");
    ASSERT_TRUE(Main->State().CurCar);
  }
  void Enter() {
    Click("btnEnterTest");
    ASSERT_TRUE(Main->State().CurSimu);
  }
  // Opens the car, enters the test and starts it.
  void Drive() {
    WriteDefaultTrack();
    OpenCar();
    Enter();
    Click("btnStartTest");
    ASSERT_TRUE(Clock().IsRunning());
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Main->tmrRunTimer();
  }

  TSharedState& State() const { return Main->State(); }
  TRunClock& Clock() const { return Main->RunClock(); }
  TSimu& Sim() const { return *State().CurSimu; }
  TCar& Car() const { return *State().CurCar; }
  TDialGauge* Speed() const { return W<TDialGauge>("dgCarTestSpeed"); }
  TDialGauge* Steer() const { return W<TDialGauge>("dgCarTestSteer"); }
  QImage View(const char* name) const { return *W<TRasterView>(name)->Image(); }
  bool GroupOn(const char* name) const { return W<TGroupBox>(name)->GroupEnabled(); }
  // Enter, Exit, Start, Pause: which are enabled.
  std::vector<bool> TestButtons() const {
    return {Enabled("btnEnterTest"), Enabled("btnExitTest"), Enabled("btnStartTest"),
            Enabled("btnPauseTest")};
  }
  void ExpectIdle() const {
    EXPECT_EQ(TestButtons(), (std::vector<bool>{true, false, false, false}));
    for (const char* g : EditingGroups) EXPECT_TRUE(GroupOn(g)) << g;
    EXPECT_TRUE(GroupOn("grpCarTest"));
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Dialogs;
  std::unique_ptr<TwdMain> Main;
};

// ---- entering -----------------------------------------------------------------------

struct TRefusedCase {
  const char* Name;
  const char* Hint;  // the second line of the box
  std::function<void(const QString& path)> Make;
};
void PrintTo(const TRefusedCase& c, std::ostream* os) { *os << c.Name; }

const char* const Missing = "请检查Default.kpf文件是否存在。";
const char* const Damaged = "请检查Default.kpf文件是否损坏。";

const TRefusedCase RefusedCases[] = {
    {"NoFile", Missing, [](const QString&) {}},
    {"AFolder", Missing, [](const QString& p) { QDir().mkpath(p + QStringLiteral("/inside")); }},
    {"Empty", Damaged, [](const QString& p) { test::WriteFile(p, QByteArray()); }},
    {"Garbage", Damaged,
     [](const QString& p) { test::WriteFile(p, QByteArray("not a track at all, only words")); }},
    {"Truncated", Damaged,
     [](const QString& p) {
       ASSERT_TRUE(test::SaveTrack(p, TestTrack));
       const QByteArray good = test::ReadFile(p);
       test::WriteFile(p, good.left(good.size() - 3));
     }},
    {"NoElements", Damaged, [](const QString& p) { ASSERT_TRUE(test::SaveTrack(p, {})); }},
};

class RefusedEntryTest : public CarTestTest, public ::testing::WithParamInterface<TRefusedCase> {};

// A test track that is not there or does not read is reported and changes nothing; once
// a good one is there, the next press enters.
TEST_P(RefusedEntryTest, IsReportedAndChangesNothing) {
  OpenCar();
  GetParam().Make(DefaultTrack());
  Clock().SetRunMode(TRunMode::Replay);
  Clock().SetInterval(50);
  const QByteArray car = CarRecord(Car());
  const QImage drawing = View("imgCarDraw");
  Dialogs.AnswerBox(Btn::Ok);
  Click("btnEnterTest");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Text,
            QStringLiteral("读取默认赛道文件失败！\r\n") + QString::fromUtf8(GetParam().Hint));
  EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Dialogs.Boxes[0].Buttons, QMessageBox::Ok);
  EXPECT_FALSE(State().CurSimu);
  ExpectIdle();
  EXPECT_EQ(Clock().RunMode(), TRunMode::Replay);
  EXPECT_EQ(Clock().Interval(), 50);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Speed()->Maximum(), 15);
  EXPECT_EQ(Steer()->Minimum(), -100);
  EXPECT_EQ(CarRecord(Car()), car);
  EXPECT_EQ(Car().Heading, 0);
  EXPECT_EQ(View("imgCarDraw"), drawing);
  for (const char* v : TestViews) EXPECT_TRUE(Blank(View(v))) << v;
  EXPECT_FALSE(State().DocModified);

  QDir(DefaultTrack()).removeRecursively();
  QFile::remove(DefaultTrack());
  WriteDefaultTrack();
  Click("btnEnterTest");
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_TRUE(State().CurSimu);
  EXPECT_EQ(TestButtons(), (std::vector<bool>{false, true, true, false}));
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedEntryTest, ::testing::ValuesIn(RefusedCases),
                         test::TCaseName());

TEST_F(CarTestTest, EntryLocksTheCarAndPutsItAtTheStart) {
  WriteDefaultTrack();
  OpenCar();
  Clock().SetRunMode(TRunMode::Replay);
  Clock().SetInterval(50);
  Speed()->SetValue(3);
  Steer()->SetValue(-7);
  const QByteArray car = CarRecord(Car());
  Enter();
  EXPECT_TRUE(Dialogs.Boxes.empty());
  EXPECT_TRUE(Sim().TestMode);
  EXPECT_EQ(Sim().Car, State().CurCar.get());
  EXPECT_EQ(Sim().Track->Elements.size(), TestTrack.size());
  EXPECT_EQ(Sim().StepMs, 10);
  EXPECT_FLOAT_EQ(Car().SteerMotor->MaxDelta, 30 * 0.01f);  // the servo steps 10 ms too
  EXPECT_EQ(Clock().RunMode(), TRunMode::CarTest);
  EXPECT_EQ(Clock().Interval(), 10);
  EXPECT_FALSE(Clock().IsRunning());  // the test begins paused

  // At the origin, facing +x along the first line, at rest.
  EXPECT_EQ(Sim().Pos.X, 0);
  EXPECT_EQ(Sim().Pos.Y, 0);
  EXPECT_EQ(Car().Heading, -90);
  EXPECT_EQ(Sim().Speed, 0);
  EXPECT_EQ(Car().Motor->Speed, 0);
  EXPECT_EQ(Car().Motor->LastCommand, 0);
  EXPECT_EQ(Car().SteerMotor->Command, 0.5f);
  EXPECT_EQ(Car().SteerAngle, 0);
  EXPECT_EQ(CarRecord(Car()), car);

  EXPECT_EQ(TestButtons(), (std::vector<bool>{false, true, true, false}));
  for (const char* g : EditingGroups) EXPECT_FALSE(GroupOn(g)) << g;
  EXPECT_TRUE(GroupOn("grpCarTest"));
  EXPECT_EQ(Speed()->Value(), 0);
  EXPECT_EQ(Steer()->Value(), 0);
  EXPECT_EQ(Speed()->Minimum(), 0);
  EXPECT_EQ(Speed()->Maximum(), 7);  // 3000 rpm on 40 mm wheels: 6.283 m/s
  EXPECT_EQ(Steer()->Minimum(), -40);
  EXPECT_EQ(Steer()->Maximum(), 40);
  EXPECT_FALSE(Blank(View("imgCarView")));  // the test track
  EXPECT_FALSE(State().DocModified);
}

// The speed dial reads 0 to the rated speed rounded, plus one; the steering dial the
// servo's angle either way.  Entered and left again for each car.
TEST_F(CarTestTest, DialRangesFollowTheCar) {
  WriteDefaultTrack();
  Click("btnNewCar");
  const struct {
    int nRated, WheelD, MaxSteer;
    double SpeedMax;  // round(nRated x pi x WheelD / 60000) + 1
  } cases[] = {
      {3000, 40, 40, 7},     // 6.283: rounds down
      {3000, 50, 30, 9},     // 7.854: rounds up
      {1000, 40, 90, 3},     // 2.094
      {20000, 100, 1, 106},  // 104.72
      {100, 10, 25, 1},      // 0.052: the dial still has a range
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nRated);
    test::TypeAndLeave(W<TNumEdit>("nedtMotornRated"), QString::number(c.nRated));
    test::TypeAndLeave(W<TNumEdit>("nedtCarWheelD"), QString::number(c.WheelD));
    test::TypeAndLeave(W<TNumEdit>("nedtMaxSteerAngle"), QString::number(c.MaxSteer));
    ASSERT_EQ(Car().Motor->nRated, c.nRated);
    Enter();
    EXPECT_EQ(Speed()->Minimum(), 0);
    EXPECT_EQ(Speed()->Maximum(), c.SpeedMax);
    EXPECT_EQ(Steer()->Minimum(), -c.MaxSteer);
    EXPECT_EQ(Steer()->Maximum(), c.MaxSteer);
    Click("btnExitTest");
    ASSERT_FALSE(State().CurSimu);
  }
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// ---- running ------------------------------------------------------------------------

TEST_F(CarTestTest, StartAndPauseRunTheClockAndSwapTheButtons) {
  WriteDefaultTrack();
  OpenCar();
  Enter();
  Click("btnStartTest");
  EXPECT_TRUE(Clock().IsRunning());
  EXPECT_EQ(Clock().Interval(), 10);
  EXPECT_EQ(Clock().RunMode(), TRunMode::CarTest);
  EXPECT_EQ(TestButtons(), (std::vector<bool>{false, false, false, true}));
  for (const char* g : EditingGroups) EXPECT_FALSE(GroupOn(g)) << g;
  EXPECT_EQ(Sim().TimeMs, 0);
  Ticks(3);
  EXPECT_EQ(Sim().TimeMs, 30);

  Click("btnPauseTest");
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(TestButtons(), (std::vector<bool>{false, true, true, false}));
  for (const char* g : EditingGroups) EXPECT_FALSE(GroupOn(g)) << g;
  Ticks(2);  // a tick already queued when the clock stopped
  EXPECT_EQ(Sim().TimeMs, 30);

  Click("btnStartTest");  // goes on where it was
  Ticks(1);
  EXPECT_EQ(Sim().TimeMs, 40);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// Each tick shows on the dials what the previous tick left, then steps and draws.
TEST_F(CarTestTest, DialsShowThePreviousTicksStateAndTheViewsFollowTheCar) {
  ASSERT_NO_FATAL_FAILURE(Drive());
  Car().Motor->SetCommand(1);  // full throttle
  Car().SteerMotor->SetCommand(1);
  const QImage still = View("imgCarView");
  for (int i = 0; i < 40; ++i) {
    const float speed = Sim().Speed, angle = Car().SteerAngle;
    Ticks(1);
    ASSERT_EQ(Speed()->Value(), speed) << i;
    ASSERT_EQ(Steer()->Value(), angle) << i;
  }
  EXPECT_GT(Sim().Speed, 0);
  EXPECT_GT(Car().SteerAngle, 0);
  EXPECT_GT(Speed()->Value(), 0);
  EXPECT_GT(Steer()->Value(), 0);  // to the left
  EXPECT_NE(View("imgCarView"), still);
  for (const char* v : TestViews) EXPECT_FALSE(Blank(View(v))) << v;
}

// Leaving puts the car back at rest, gives the page back and leaves the car as saved.
TEST_F(CarTestTest, LeavingAfterDrivingPutsTheCarAtRestAndTheEditingBack) {
  WriteDefaultTrack();
  OpenCar();
  const QImage drawing = View("imgCarDraw");
  const QByteArray car = CarRecord(Car());
  const QString title = Main->windowTitle();
  Enter();
  Click("btnStartTest");
  Car().Motor->SetCommand(0.8f);
  Car().SteerMotor->SetCommand(0.9f);
  Ticks(150);
  ASSERT_GT(Sim().Pos.X, 100);
  ASSERT_NE(Car().Heading, -90);
  Click("btnPauseTest");
  Click("btnExitTest");

  EXPECT_FALSE(State().CurSimu);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Car().Heading, 0);
  EXPECT_EQ(Car().SteerAngle, 0);
  EXPECT_EQ(Car().Motor->Speed, 0);
  EXPECT_EQ(Car().Motor->LastCommand, 0);
  EXPECT_EQ(Car().SteerMotor->Command, 0.5f);
  EXPECT_EQ(Car().SteerMotor->Angle, 0);
  EXPECT_EQ(Speed()->Value(), 0);
  EXPECT_EQ(Steer()->Value(), 0);
  ExpectIdle();
  EXPECT_TRUE(Enabled("btnAddSensor"));
  for (const char* v : TestViews) EXPECT_TRUE(Blank(View(v))) << v;
  EXPECT_EQ(View("imgCarDraw"), drawing);
  EXPECT_EQ(CarRecord(Car()), car);
  EXPECT_FALSE(State().DocModified);
  EXPECT_EQ(Main->windowTitle(), title);

  // Entering again starts again from the origin, at rest.
  Enter();
  EXPECT_EQ(Sim().Pos.X, 0);
  EXPECT_EQ(Sim().Pos.Y, 0);
  EXPECT_EQ(Sim().TimeMs, 0);
  EXPECT_EQ(Car().Heading, -90);
  EXPECT_EQ(Car().Motor->Speed, 0);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// ---- keys ---------------------------------------------------------------------------

// The keys act only in the active main window: it is shown and activated before the
// clock runs (activating processes events, which would deliver real ticks).
class CarTestKeysTest : public CarTestTest {
 protected:
  void SetUp() override {
    Main->show();
    Activate(Main.get());
  }
  static void Activate(QWidget* w) {
    w->activateWindow();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  }
  void Key(QEvent::Type type, Qt::Key key, QWidget* to = nullptr, bool autoRepeat = false) {
    QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(to ? to : Main.get(), &e);
  }
  void Press(Qt::Key key, QWidget* to = nullptr) { Key(QEvent::KeyPress, key, to); }
  void Release(Qt::Key key) { Key(QEvent::KeyRelease, key); }
  float SteerCommand() const { return Car().SteerMotor->Command; }
  float DriveCommand() const { return Car().Motor->LastCommand; }
};

TEST_F(CarTestKeysTest, HeldLeftTurnsTheSteeringCommandToItsEnd) {
  ASSERT_NO_FATAL_FAILURE(Drive());
  Press(Qt::Key_Left);
  Ticks(1);
  EXPECT_NEAR(SteerCommand(), 0.501, 1e-6);
  Ticks(249);
  EXPECT_NEAR(SteerCommand(), 0.75, 1e-4);
  Ticks(250);  // 500 ticks, 5 s
  EXPECT_NEAR(SteerCommand(), 1.0, 1e-4);
  Ticks(10);
  EXPECT_EQ(SteerCommand(), 1.0f);  // clamped
  EXPECT_EQ(Car().SteerMotor->TargetAngle, 40);
  Release(Qt::Key_Left);

  Press(Qt::Key_Right);
  Ticks(100);
  Release(Qt::Key_Right);
  EXPECT_NEAR(SteerCommand(), 0.9, 1e-4);
  Ticks(20);  // nothing held
  EXPECT_NEAR(SteerCommand(), 0.9, 1e-4);
  EXPECT_EQ(DriveCommand(), 0);
}

TEST_F(CarTestKeysTest, UpAddsToTheDriveCommandAndDownAtZeroChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(Drive());
  Ticks(10);
  const float elapsed = Car().Motor->Elapsed;
  Press(Qt::Key_Down);
  Ticks(10);
  EXPECT_EQ(DriveCommand(), 0);
  EXPECT_GT(Car().Motor->Elapsed, elapsed);  // the response was never restarted
  Release(Qt::Key_Down);

  Press(Qt::Key_Up);
  Ticks(100);
  EXPECT_NEAR(DriveCommand(), 0.1, 1e-5);
  Ticks(50);
  Release(Qt::Key_Up);
  EXPECT_NEAR(DriveCommand(), 0.15, 1e-5);
  EXPECT_GT(Car().Motor->Speed, 0);
  EXPECT_GT(Sim().Speed, 0);

  Press(Qt::Key_Down);
  Ticks(30);
  Release(Qt::Key_Down);
  EXPECT_NEAR(DriveCommand(), 0.12, 1e-5);
  EXPECT_EQ(SteerCommand(), 0.5f);
}

// Opposite keys held together give no command at all: the motor runs on exactly as with
// no key held (a command, even one that cancels, would restart its response).
TEST_F(CarTestKeysTest, OppositeKeysHeldTogetherGiveNoCommand) {
  struct TRun {
    float Speed, Elapsed, Drive, Steer, Angle;
  };
  const auto run = [this](bool both) {
    Enter();
    Click("btnStartTest");
    // Some throttle and full left first, so that a stray command would show.
    Press(Qt::Key_Up);
    Press(Qt::Key_Left);
    Ticks(520);
    Release(Qt::Key_Up);
    Release(Qt::Key_Left);
    if (both)
      for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) Press(k);
    Ticks(50);
    if (both)
      for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) Release(k);
    const TRun r{Car().Motor->Speed, Car().Motor->Elapsed, DriveCommand(), SteerCommand(),
                 Car().SteerAngle};
    Click("btnPauseTest");
    Click("btnExitTest");
    return r;
  };
  WriteDefaultTrack();
  OpenCar();
  const TRun none = run(false);
  const TRun both = run(true);
  EXPECT_GT(none.Speed, 0);
  EXPECT_EQ(none.Steer, 1.0f);
  EXPECT_EQ(both.Speed, none.Speed);
  EXPECT_EQ(both.Elapsed, none.Elapsed);
  EXPECT_EQ(both.Drive, none.Drive);
  EXPECT_EQ(both.Steer, none.Steer);
  EXPECT_EQ(both.Angle, none.Angle);
}

TEST_F(CarTestKeysTest, AutoRepeatIsIgnored) {
  ASSERT_NO_FATAL_FAILURE(Drive());
  Press(Qt::Key_Left);
  // The platform repeats a held key as releases and presses marked as repeats.
  Key(QEvent::KeyRelease, Qt::Key_Left, nullptr, true);
  Ticks(10);
  EXPECT_NEAR(SteerCommand(), 0.51, 1e-5);
  Key(QEvent::KeyPress, Qt::Key_Left, nullptr, true);
  Release(Qt::Key_Left);
  Key(QEvent::KeyPress, Qt::Key_Left, nullptr, true);  // a late repeat does not hold it again
  Ticks(10);
  EXPECT_NEAR(SteerCommand(), 0.51, 1e-5);
}

// Keys count only while the main window is the active window: a key pressed elsewhere is
// not held, a held key is let go when another window becomes active, and keys held while
// the window is not active do nothing.  The clock is paused while the activation changes.
TEST_F(CarTestKeysTest, KeysCountOnlyInTheActiveMainWindow) {
  ASSERT_NO_FATAL_FAILURE(Drive());
  QWidget other;
  other.resize(100, 100);
  other.show();

  Press(Qt::Key_Left);
  Click("btnPauseTest");
  ASSERT_NO_FATAL_FAILURE(Activate(&other));
  Press(Qt::Key_Up, &other);
  ASSERT_NO_FATAL_FAILURE(Activate(Main.get()));
  Click("btnStartTest");
  Ticks(10);
  EXPECT_EQ(SteerCommand(), 0.5f);  // let go when the other window became active
  EXPECT_EQ(DriveCommand(), 0);     // pressed in the other window

  Click("btnPauseTest");
  ASSERT_NO_FATAL_FAILURE(Activate(&other));
  Press(Qt::Key_Left);  // reaches the main window all the same
  Click("btnStartTest");
  Ticks(10);
  EXPECT_EQ(SteerCommand(), 0.5f);
  EXPECT_EQ(Sim().TimeMs, 200);  // the test runs on
}

// ---- leaving the car page -----------------------------------------------------------

struct TLeaveCase {
  const char* Name;
  bool Close;   // the window is closed instead of switching to the track page
  bool NewCar;  // a new (unsaved) car, so that leaving asks first
  Btn Answer;   // to the unsaved-car question
  bool Leaves;
};
void PrintTo(const TLeaveCase& c, std::ostream* os) { *os << c.Name; }

class CarTestLeaveTest : public CarTestTest, public ::testing::WithParamInterface<TLeaveCase> {};

// Leaving the page ends a test in progress without a question of its own; a declined
// leave keeps the test running.
TEST_P(CarTestLeaveTest, LeavingThePageEndsTheTestUnlessDeclined) {
  const TLeaveCase& c = GetParam();
  WriteDefaultTrack();
  if (c.NewCar)
    Click("btnNewCar");
  else
    OpenCar();
  Enter();
  Click("btnStartTest");
  Car().Motor->SetCommand(1);
  Ticks(5);
  if (c.NewCar) Dialogs.AnswerBox(c.Answer);
  bool left;
  if (c.Close) {
    left = Main->FormClose();
  } else {
    Main->SwitchPage(0);
    left = Main->CurrentPage() == 0;
  }
  EXPECT_EQ(left, c.Leaves);
  ASSERT_EQ(Dialogs.Boxes.size(), c.NewCar ? 1u : 0u);
  if (c.NewCar) {
    EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("新建赛车.kcf未保存。\r\n是否保存？"));
  }

  if (!c.Leaves) {
    ASSERT_TRUE(State().CurSimu);
    EXPECT_TRUE(Clock().IsRunning());
    EXPECT_EQ(Main->CurrentPage(), 1);
    EXPECT_EQ(TestButtons(), (std::vector<bool>{false, false, false, true}));
    EXPECT_TRUE(State().DocModified);
    Ticks(1);
    EXPECT_EQ(Sim().TimeMs, 60);
    return;
  }
  EXPECT_FALSE(State().CurSimu);
  EXPECT_FALSE(State().CurCar);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_FALSE(State().DocModified || State().DocIsNew || State().DocOpen);
  EXPECT_EQ(TestButtons(), (std::vector<bool>{false, false, false, false}));  // no car
  EXPECT_FALSE(GroupOn("grpCarTest"));
  EXPECT_EQ(Speed()->Value(), 0);
  EXPECT_EQ(Steer()->Value(), 0);
  for (const char* v : TestViews) EXPECT_TRUE(Blank(View(v))) << v;
  Ticks(1);  // a tick already queued finds nothing to drive
  EXPECT_FALSE(State().CurSimu);

  // The page comes back empty, and a new test can be entered.
  if (!c.Close) Main->SwitchPage(1);
  OpenCar();
  ExpectIdle();
  Enter();
  EXPECT_EQ(Car().Heading, -90);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CarTestLeaveTest,
    ::testing::Values(TLeaveCase{"SwitchSavedCar", false, false, Btn::NoButton, true},
                      TLeaveCase{"SwitchDeclined", false, true, Btn::Cancel, false},
                      TLeaveCase{"SwitchWithoutSaving", false, true, Btn::No, true},
                      TLeaveCase{"CloseSavedCar", true, false, Btn::NoButton, true},
                      TLeaveCase{"CloseDeclined", true, true, Btn::Cancel, false},
                      TLeaveCase{"CloseWithoutSaving", true, true, Btn::No, true}),
    test::TCaseName());

}  // namespace
}  // namespace k2
