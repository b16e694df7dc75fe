// The simulation page, driven through the main window as a user drives it: buttons are
// clicked, file dialogs and message boxes are answered by a script, and the run clock's
// ticks are delivered by calling the window's tick handler (no real timer ever fires).
#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLCDNumber>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <vector>

#include "app/uMain.h"
#include "base/uSettings.h"
#include "base/uStream.h"
#include "car/uCar.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "simulation/SimFixtures.h"
#include "simulation/uJudge.h"
#include "simulation/uJudgeOutput.h"
#include "simulation/uRecord.h"
#include "simulation/uSimu.h"
#include "simulation/uSimulation.h"
#include "track/uPath.h"
#include "ui/uRunClock.h"
#include "widgets/uGroupBox.h"
#include "widgets/uNumEdit.h"
#include "widgets/uScope.h"

namespace k2 {
namespace {

using Btn = QMessageBox::StandardButton;
using Btns = QMessageBox::StandardButtons;
using test::LineTo;
using test::TElementSpec;

// The engine tests get the host and module folders as compile definitions; this binary
// does not, so both are found from where the build puts it (build/bin, with the test
// modules in build/test-modules).
QString BinFile(const char* name) {
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}
QString ModulePath(const char* name) {
  return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../test-modules"))
      .absoluteFilePath(QLatin1String(name) + QStringLiteral(".so"));
}

constexpr const char* JudgeFailed = "Judge()函数调用错误，请检查函数编写是否正确！";
const QString ErrorTitle = QStringLiteral("Kurvino2 ");

QString FirstLine(const QString& text) {
  return text.split(QRegularExpression(QStringLiteral("\\r?\\n"))).first();
}

// What a message box must have shown.  Error boxes are matched by the start of their
// text (a reason may follow); questions by the whole text.
struct TBoxSpec {
  const char* Text;
  const char* Title;
  Btns Buttons;  // empty: an error box (error icon, OK)
};

void ExpectBox(const test::TShownBox& shown, const TBoxSpec& want) {
  const QString text = QString::fromUtf8(want.Text);
  EXPECT_EQ(shown.Title, QString::fromUtf8(want.Title)) << want.Text;
  if (want.Buttons == Btns()) {
    EXPECT_TRUE(shown.Text.startsWith(text)) << shown.Text.toStdString();
    EXPECT_EQ(shown.Icon, QMessageBox::Critical) << want.Text;
    EXPECT_EQ(shown.Buttons, Btns(QMessageBox::Ok)) << want.Text;
  } else {
    EXPECT_EQ(shown.Text, text);
    EXPECT_EQ(shown.Icon, QMessageBox::Warning) << want.Text;
    EXPECT_EQ(shown.Buttons, want.Buttons) << want.Text;
  }
}

void ExpectBoxes(const std::vector<test::TShownBox>& shown, const std::vector<TBoxSpec>& want) {
  ASSERT_EQ(shown.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) ExpectBox(shown[i], want[i]);
}

// The state a record file holds, read back with the engine's reader.
struct TSavedRecord {
  bool Read = false;
  TRecordNames Names;
  int32_t StepMs = 0;
  int32_t Count = -1;
};

TSavedRecord ReadRecord(const QString& path) {
  TSavedRecord r;
  TPath track(nullptr, 3000, nullptr, 6000);
  TCar car(nullptr, RunMainSpan);
  TRecords records;
  r.Read = ReadRecordFile(test::ReadFile(path), r.Names, r.StepMs, track, car, records);
  r.Count = records.Count();
  return r;
}

// True when records a[0, n) and b[0, n) are equal byte for byte.
bool SameRecords(const TRecords& a, const TRecords& b, int32_t n) {
  if (a.Count() < n || b.Count() < n || a.Stride() != b.Stride()) return false;
  for (int32_t i = 0; i < n; ++i)
    if (std::memcmp(a.Fields(i), b.Fields(i), 7 * sizeof(float)) != 0 ||
        std::memcmp(a.Readings(i), b.Readings(i), static_cast<size_t>(a.Stride())) != 0)
      return false;
  return true;
}

bool ProcessGone(pid_t pid) { return pid > 0 && kill(pid, 0) == -1 && errno == ESRCH; }

// The track most tests drive on: a straight line along +y from the start.
const std::vector<TElementSpec> Straight = {LineTo(0, 6000)};

// The faulty module with its failure moved out of reach: it drives at full motor and
// prints "load", "reset" and "judge N", so the output counts its calls.
constexpr const char* CountingFaultAt = "1000000";

class SimuPageTest : public ::testing::Test, protected test::TPageDriver {
 protected:
  SimuPageTest() {
    TJudgeModule::SetDefaultHostPath(BinFile("kurvino2-judge-host"));
    for (const char* folder : {"Path", "Car", "Record", "Judgement"})
      QDir(Dir.Dir()).mkdir(QLatin1String(folder));
    TrackFile = Dir.Path(QStringLiteral("Path/track.kpf"));
    CarFile = Dir.Path(QStringLiteral("Car/car.kcf"));
    EXPECT_TRUE(test::SaveTrack(TrackFile, Straight));
    EXPECT_TRUE(test::SaveCar(CarFile, *test::RowCar(5)));  // five point sensors in a row
    Main = std::make_unique<TwdMain>();
    Main->SwitchPage(2);
    Page = Main->SimuPage;
    SetRoot(Main.get());
  }
  ~SimuPageTest() override {
    for (const char* name : {"K2_FAULT", "K2_FAULT_AT", "K2_RESET_FAULT"}) qunsetenv(name);
  }

  void SetUp() override {
    ASSERT_TRUE(QFileInfo(BinFile("kurvino2-judge-host")).isExecutable())
        << "build the judge host and the test modules with the whole build";
    ASSERT_TRUE(QFileInfo::exists(ModulePath("follower")));
    ASSERT_EQ(Main->CurrentPage(), 2);
    ASSERT_TRUE(Dialogs.Boxes.empty());
  }

  void TearDown() override {
    Main.reset();
    EXPECT_TRUE(Dialogs.AllAnswersUsed());
    // The window and its engine are gone: so must be every host the engine started.
    errno = 0;
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
  }

  TSimu& Sim() const { return *Main->State().CurSimu; }
  TRunClock& Clock() const { return Main->RunClock(); }
  TSharedState& State() const { return Main->State(); }
  QString Text(const char* edit) const { return W<QLineEdit>(edit)->text(); }
  bool GroupOn(const char* group) const { return W<TGroupBox>(group)->GroupEnabled(); }

  // Answers the next file dialog with `file` ("" cancels) and clicks `button`.
  void Load(const char* button, const QString& file) {
    Dialogs.AnswerFile(file);
    Click(button);
  }
  // Enters simulation mode and loads track, car and module, in that order.
  void Ready(const QString& module) {
    Click("btnEnterSimu");
    Load("btnSimuLoadPath", TrackFile);
    Load("btnSimuLoadCar", CarFile);
    Load("btnSimuLoadJudge", module);
    ASSERT_TRUE(Dialogs.Boxes.empty()) << Dialogs.Boxes.front().Text.toStdString();
    ASSERT_TRUE(State().CurSimu && Sim().IsReady());
  }
  void ReadyCounting() {
    qputenv("K2_FAULT_AT", CountingFaultAt);
    Ready(ModulePath("faulty"));
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Main->tmrRunTimer();
  }
  // Lines the module printed that equal `line`.
  int Printed(const char* line) const {
    return static_cast<int>(Sim().Judge().OutputLines().count(QLatin1String(line)));
  }
  QStringList JudgeCalls() const {
    return Sim().Judge().OutputLines().filter(QRegularExpression(QStringLiteral("^judge ")));
  }

  // The page's named buttons and edits that can be used (enabled).
  QSet<QString> EnabledInputs() const {
    QSet<QString> on;
    for (QWidget* w : Page->findChildren<QWidget*>()) {
      if (w->objectName().isEmpty()) continue;
      if ((qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w)) && w->isEnabled())
        on.insert(w->objectName());
    }
    return on;
  }
  void ExpectInitialPage() const {
    EXPECT_EQ(EnabledInputs(), QSet<QString>{QStringLiteral("btnEnterSimu")});
    EXPECT_TRUE(Enabled("grpSimuOperation"));
    EXPECT_FALSE(GroupOn("grpSimuLoad"));
    EXPECT_FALSE(GroupOn("grpSimu"));
    for (const char* e : {"edtSimuPath", "edtSimuCar", "edtSimuJudge"}) {
      EXPECT_TRUE(Text(e).isEmpty()) << e;
      EXPECT_TRUE(W<QLineEdit>(e)->isReadOnly()) << e;
    }
    ExpectReadoutsZero();
  }
  void ExpectReadoutsZero() const {
    for (const char* r : {"nedtSimuSpeed", "nedtSimuAcc", "nedtSimuFrontAngle", "nedtSimuWarp",
                          "nedtSimuPosX", "nedtSimuPosY"})
      EXPECT_EQ(W<TNumEdit>(r)->Value(), 0) << r;
    EXPECT_EQ(W<QLCDNumber>("vrdgtgrpSimuTime")->value(), 0);
  }
  // Ready to start: the files loaded, no run going.
  void ExpectReadyButtons() const {
    EXPECT_TRUE(GroupOn("grpSimu"));
    EXPECT_TRUE(Enabled("btnSimuStart"));
    EXPECT_TRUE(Enabled("nedtSimuStep"));
    EXPECT_FALSE(Enabled("btnSimuPause"));
    EXPECT_FALSE(Enabled("btnSimuStop"));
  }
  void ExpectRunningButtons() const {
    EXPECT_TRUE(Clock().IsRunning());
    for (const char* on : {"btnSimuPause", "btnSimuStop"}) EXPECT_TRUE(Enabled(on)) << on;
    for (const char* off : {"btnSimuStart", "nedtSimuStep", "btnSaveSimuResult", "btnExitSimu",
                            "btnSimuLoadPath", "btnSimuLoadCar", "btnSimuLoadJudge"})
      EXPECT_FALSE(Enabled(off)) << off;
    EXPECT_FALSE(GroupOn("grpSimuLoad"));
    for (const char* s : {"vrscpSimuSpeed", "vrscpSimuWarp"}) EXPECT_TRUE(W<TScope>(s)->Active());
  }
  void ExpectPausedButtons() const {
    EXPECT_FALSE(Clock().IsRunning());
    for (const char* on : {"btnSimuStart", "btnSimuStop", "btnSaveSimuResult", "btnExitSimu"})
      EXPECT_TRUE(Enabled(on)) << on;
    EXPECT_FALSE(Enabled("btnSimuPause"));
    for (const char* s : {"vrscpSimuSpeed", "vrscpSimuWarp"}) EXPECT_FALSE(W<TScope>(s)->Active());
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Dialogs;
  QString TrackFile, CarFile;
  std::unique_ptr<TwdMain> Main;
  TSimuPage* Page = nullptr;
};

// ---- entering -------------------------------------------------------------------

// Before simulation mode only Enter acts; entering makes the engine, switches the run
// clock to simulation and offers the loads, while the run group waits for the files.
TEST_F(SimuPageTest, OnlyEnterIsOfferedUntilSimulationModeIsEntered) {
  ExpectInitialPage();
  const auto* step = W<TNumEdit>("nedtSimuStep");
  EXPECT_EQ(step->Minimum(), 10);
  EXPECT_EQ(step->Maximum(), 10000);
  EXPECT_EQ(step->IntValue(), 10);
  EXPECT_FALSE(State().CurSimu);

  Click("btnEnterSimu");
  ASSERT_TRUE(State().CurSimu);
  EXPECT_EQ(Clock().RunMode(), TRunMode::Simulation);
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_TRUE(GroupOn("grpSimuLoad"));
  EXPECT_FALSE(GroupOn("grpSimu"));
  // The file names and readouts show, but only the load buttons and Exit act.
  EXPECT_EQ(
      EnabledInputs(),
      (QSet<QString>{"btnExitSimu", "btnSimuLoadPath", "btnSimuLoadCar", "btnSimuLoadJudge",
                     "edtSimuPath", "edtSimuCar", "edtSimuJudge", "nedtSimuSpeed", "nedtSimuAcc",
                     "nedtSimuFrontAngle", "nedtSimuWarp", "nedtSimuPosX", "nedtSimuPosY"}));
  for (const char* e : {"edtSimuPath", "edtSimuCar", "edtSimuJudge", "nedtSimuSpeed"})
    EXPECT_TRUE(W<QLineEdit>(e)->isReadOnly()) << e;
  EXPECT_FALSE(State().DocModified || State().DocIsNew);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// ---- loading ----------------------------------------------------------------------

// A run needs all three files; a module that cannot be loaded is reported and leaves the
// page unready, and the next good one makes it ready.
TEST_F(SimuPageTest, StartIsOfferedOnceTrackCarAndAWorkingModuleAreLoaded) {
  Click("btnEnterSimu");
  Load("btnSimuLoadPath", TrackFile);
  Load("btnSimuLoadCar", CarFile);
  EXPECT_EQ(Text("edtSimuPath"), QStringLiteral("track.kpf"));
  EXPECT_EQ(Text("edtSimuCar"), QStringLiteral("car.kcf"));
  EXPECT_FALSE(GroupOn("grpSimu"));
  EXPECT_FALSE(Enabled("btnSimuStart"));
  EXPECT_TRUE(State().DocIsNew);

  const QString broken = Dir.Path(QStringLiteral("Judgement/broken.so"));
  test::WriteFile(broken, QByteArray("not a shared library\n"));
  Dialogs.AnswerBox(Btn::Ok);
  Load("btnSimuLoadJudge", broken);
  ExpectBoxes(Dialogs.Boxes, {{"决策文件加载错误！", "Kurvino2 ", {}}});
  EXPECT_TRUE(Text("edtSimuJudge").isEmpty());
  EXPECT_FALSE(Enabled("btnSimuStart"));
  EXPECT_FALSE(Sim().IsReady());

  Load("btnSimuLoadJudge", ModulePath("follower"));
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Text("edtSimuJudge"), QStringLiteral("follower.so"));
  ExpectReadyButtons();
  EXPECT_TRUE(Sim().IsReady());
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_FALSE(State().DocModified);
}

struct TLoadKindCase {
  const char* Name;
  int Index;  // of the kind in the page's order: track, car, module
  const char* Button;
  const char* Edit;
  const char* Folder;
  const char* Filter;
  const char* BadFile;  // under the folder
  const char* Error;
  const char* Shown;  // the good file's name as the edit shows it
};
void PrintTo(const TLoadKindCase& c, std::ostream* os) { *os << c.Name; }

const TLoadKindCase LoadKinds[] = {
    {"Track", 0, "btnSimuLoadPath", "edtSimuPath", "Path", "赛道文件(*.kpf)", "Path/bad.kpf",
     "赛道文件加载错误！", "track.kpf"},
    {"Car", 1, "btnSimuLoadCar", "edtSimuCar", "Car", "赛车文件(*.kcf)", "Car/bad.kcf",
     "赛车文件加载错误！", "car.kcf"},
    {"Module", 2, "btnSimuLoadJudge", "edtSimuJudge", "Judgement", "决策文件(*.so)",
     "Judgement/bad.so", "决策文件加载错误！", "follower.so"},
};

class LoadKindTest : public SimuPageTest, public ::testing::WithParamInterface<TLoadKindCase> {
 protected:
  QStringList Names() const {
    return {Text("edtSimuPath"), Text("edtSimuCar"), Text("edtSimuJudge")};
  }
  QString GoodFile() const {
    return QStringList{TrackFile, CarFile, ModulePath("follower")}[GetParam().Index];
  }
};

// Each load asks in its own folder of the program folder with its own filter; a
// cancelled dialog leaves the loaded run exactly as it was.
TEST_P(LoadKindTest, DialogAsksInItsFolderAndCancelChangesNothing) {
  const TLoadKindCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  const QStringList names = Names();
  const pid_t host = Sim().Judge().HostPid();
  Load(c.Button, QString());
  ASSERT_EQ(Dialogs.FileDialogs.size(), 4u);
  const test::TShownFileDialog& d = Dialogs.FileDialogs.back();
  EXPECT_FALSE(d.Save);
  EXPECT_EQ(d.Folder, ProgramDir() + QLatin1String(c.Folder));
  EXPECT_EQ(QDir(d.Folder).absolutePath(), QDir(Dir.Path(QLatin1String(c.Folder))).absolutePath());
  EXPECT_EQ(d.Filter, QString::fromUtf8(c.Filter));
  EXPECT_TRUE(Dialogs.Boxes.empty());
  EXPECT_EQ(Names(), names);
  EXPECT_TRUE(Sim().IsReady());
  EXPECT_EQ(Sim().Judge().HostPid(), host);
  ExpectReadyButtons();
}

// A file of the kind that cannot be read is reported; the engine lets go of what it held
// of that kind, so the page is no longer ready until a good file is loaded again.
TEST_P(LoadKindTest, UnreadableFileIsReportedAndUnloadsItsKind) {
  const TLoadKindCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  QStringList names = Names();
  const QString bad = Dir.Path(QLatin1String(c.BadFile));
  test::WriteFile(bad, QByteArray("neither a track, a car nor a library\n"));
  Dialogs.AnswerBox(Btn::Ok);
  Load(c.Button, bad);
  ExpectBoxes(Dialogs.Boxes, {{c.Error, "Kurvino2 ", {}}});
  EXPECT_TRUE(Text(c.Edit).isEmpty());
  names[c.Index] = QString();
  EXPECT_EQ(Names(), names);
  EXPECT_FALSE(Sim().IsReady());
  EXPECT_FALSE(GroupOn("grpSimu"));
  EXPECT_FALSE(Enabled("btnSimuStart"));

  Load(c.Button, GoodFile());
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Text(c.Edit), QLatin1String(c.Shown));
  EXPECT_TRUE(Sim().IsReady());
  ExpectReadyButtons();
}

INSTANTIATE_TEST_SUITE_P(Kinds, LoadKindTest, ::testing::ValuesIn(LoadKinds), test::TCaseName());

// Loading resets a bound module; one that fails in Reset counts as a module that cannot
// be loaded: reported, released (its host ended) and its name not shown.
TEST_F(SimuPageTest, ModuleFailingInResetIsRefusedAtLoad) {
  qputenv("K2_RESET_FAULT", "1");
  Click("btnEnterSimu");
  Load("btnSimuLoadPath", TrackFile);
  Load("btnSimuLoadCar", CarFile);
  Dialogs.AnswerBox(Btn::Ok);
  Load("btnSimuLoadJudge", ModulePath("faulty"));
  ExpectBoxes(Dialogs.Boxes, {{"决策文件加载错误！", "Kurvino2 ", {}}});
  EXPECT_TRUE(Text("edtSimuJudge").isEmpty());
  EXPECT_FALSE(Sim().Judge().IsLoaded());
  EXPECT_EQ(Sim().Judge().HostPid(), 0);
  EXPECT_FALSE(Sim().IsReady());
  EXPECT_FALSE(Enabled("btnSimuStart"));
  EXPECT_TRUE(GroupOn("grpSimuLoad"));
}

// ---- start, pause, stop -------------------------------------------------------------

// Start runs the clock at the typed step from a tick count of 0 and locks everything
// that must not change during a run; the run is then an unsaved document.
TEST_F(SimuPageTest, StartRunsTheClockAtTheStepAndLocksTheLoads) {
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  test::TypeAndLeave(W<TNumEdit>("nedtSimuStep"), QStringLiteral("40"));
  ASSERT_EQ(W<TNumEdit>("nedtSimuStep")->IntValue(), 40);
  Click("btnSimuStart");
  EXPECT_TRUE(Clock().IsRunning());
  EXPECT_EQ(Clock().Interval(), 40);
  EXPECT_EQ(Clock().tmrRun->interval(), 40);
  EXPECT_EQ(Clock().TickCount(), 0);
  EXPECT_EQ(Clock().RunMode(), TRunMode::Simulation);
  EXPECT_EQ(Sim().StepMs, 40);
  ExpectRunningButtons();
  EXPECT_TRUE(State().DocModified);

  Ticks(3);
  EXPECT_EQ(Sim().TimeMs, 120);
  EXPECT_EQ(Sim().Records.Count(), 3);
  EXPECT_EQ(Clock().TickCount(), 3);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// A run paused before its first step is still a record: saving it writes a file with
// the run's names and step and no records.
TEST_F(SimuPageTest, PauseBeforeTheFirstTickSavesAnEmptyRecord) {
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  Click("btnSimuStart");
  Click("btnSimuPause");
  ExpectPausedButtons();
  EXPECT_TRUE(State().DocModified);
  const QString file = Dir.Path(QStringLiteral("Record/empty.krf"));
  Dialogs.AnswerFile(file);
  Click("btnSaveSimuResult");
  const TSavedRecord r = ReadRecord(file);
  ASSERT_TRUE(r.Read);
  EXPECT_EQ(r.Count, 0);
  EXPECT_EQ(r.StepMs, 10);
  EXPECT_EQ(r.Names.Track, QStringLiteral("track.kpf"));
  EXPECT_EQ(r.Names.Car, QStringLiteral("car.kcf"));
  EXPECT_EQ(r.Names.Judge, QStringLiteral("follower.so"));
  EXPECT_FALSE(State().DocModified);
  EXPECT_FALSE(Enabled("btnSaveSimuResult"));
}

// Pause and Start continue the same run: records go on, the module keeps its state and
// is not reset (its calls keep counting in the same host).
TEST_F(SimuPageTest, PauseThenStartContinuesTheRunWithoutResettingTheModule) {
  ASSERT_NO_FATAL_FAILURE(ReadyCounting());
  ASSERT_EQ(Printed("reset"), 1);  // the Prepare after the module's load
  Click("btnSimuStart");
  Ticks(5);
  Click("btnSimuPause");
  ExpectPausedButtons();
  EXPECT_FALSE(GroupOn("grpSimuLoad"));
  Ticks(2);  // ticks queued before the pause are ignored
  EXPECT_EQ(Sim().Records.Count(), 5);
  const TPointF at = Sim().Pos;

  Click("btnSimuStart");
  EXPECT_EQ(Clock().TickCount(), 0);
  Ticks(5);
  EXPECT_EQ(Sim().Records.Count(), 10);
  EXPECT_EQ(Sim().TimeMs, 100);
  EXPECT_GT(Sim().Pos.Y, at.Y);
  EXPECT_EQ(Printed("reset"), 1);
  const QStringList calls = JudgeCalls();
  ASSERT_EQ(calls.size(), 10);
  EXPECT_EQ(calls.back(), QStringLiteral("judge 10"));
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// Stop ends the run: the car goes back to the start and the module is reset once, and
// the next Start begins a fresh record list that repeats the first run exactly.
TEST_F(SimuPageTest, StopThenStartBeginsAFreshRunFromTheStart) {
  ASSERT_NO_FATAL_FAILURE(ReadyCounting());
  Click("btnSimuStart");
  Ticks(20);
  ASSERT_GT(Sim().Pos.Y, 0);
  TRecords first;
  first.SensorCount = Sim().Records.SensorCount;
  for (int32_t i = 0; i < Sim().Records.Count(); ++i) first.Add(Sim().Records.At(i));

  Click("btnSimuStop");
  EXPECT_FALSE(Clock().IsRunning());
  EXPECT_EQ(Sim().Pos.X, 0);
  EXPECT_EQ(Sim().Pos.Y, 0);
  EXPECT_EQ(Sim().TimeMs, 0);
  EXPECT_EQ(Sim().Speed, 0);
  EXPECT_EQ(Printed("reset"), 2);
  ExpectReadoutsZero();
  for (const char* on : {"btnSimuStart", "btnSaveSimuResult", "btnExitSimu"})
    EXPECT_TRUE(Enabled(on)) << on;
  for (const char* off : {"btnSimuPause", "btnSimuStop"}) EXPECT_FALSE(Enabled(off)) << off;
  EXPECT_EQ(Sim().Records.Count(), 20);  // kept until the next Start, so it can be saved

  Click("btnSimuStart");
  EXPECT_EQ(Sim().Records.Count(), 0);
  Ticks(20);
  EXPECT_EQ(Printed("reset"), 2);
  ASSERT_EQ(Sim().Records.Count(), 20);
  EXPECT_TRUE(SameRecords(Sim().Records, first, 20));
  EXPECT_EQ(JudgeCalls().size(), 40);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// Stop resets the module; one that fails there is released as one that cannot be
// loaded, and the page asks for another before the next run.  (The module fails in
// Reset only in a host started after K2_RESET_FAULT is set: the host that replaces one
// ended by a failed call.)
TEST_F(SimuPageTest, StopWithAModuleFailingInResetAsksForAnotherModule) {
  qputenv("K2_FAULT_AT", "2");
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("faulty")));
  Click("btnSimuStart");
  Dialogs.AnswerBox(Btn::Ok);
  Ticks(2);
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  qputenv("K2_FAULT_AT", CountingFaultAt);
  qputenv("K2_RESET_FAULT", "1");
  Click("btnSimuStart");
  Ticks(2);  // the first call starts a fresh host
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);

  Dialogs.AnswerBox(Btn::Ok);
  Click("btnSimuStop");
  ExpectBoxes(Dialogs.Boxes,
              {{JudgeFailed, "Kurvino2 ", {}}, {"决策文件加载错误！", "Kurvino2 ", {}}});
  EXPECT_FALSE(Sim().Judge().IsLoaded());
  EXPECT_FALSE(Sim().IsReady());
  EXPECT_TRUE(GroupOn("grpSimuLoad"));
  EXPECT_FALSE(GroupOn("grpSimu"));
  EXPECT_FALSE(Enabled("btnSimuStart"));
  EXPECT_TRUE(Enabled("btnExitSimu"));

  qunsetenv("K2_RESET_FAULT");
  Load("btnSimuLoadJudge", ModulePath("follower"));
  EXPECT_EQ(Dialogs.Boxes.size(), 2u);
  EXPECT_TRUE(Sim().IsReady());
  ExpectReadyButtons();
}

// ---- the readouts ----------------------------------------------------------------------

// The readouts are refreshed at the start of the tick where step x ticks since the last
// refresh exceeds 100 ms (the tick count starts at 0), before that tick's step: they
// show what the previous tick left.  So with a step of I ms they change every
// floor(100 / I) + 1 ticks, the first time one tick later than that.
struct TRefreshCase {
  const char* Name;
  int StepMs;
  std::vector<int> RefreshTicks;  // 1-based, all of them up to the last one listed
};
void PrintTo(const TRefreshCase& c, std::ostream* os) { *os << c.Name; }

const TRefreshCase RefreshCases[] = {
    {"Step10", 10, {12, 23, 34}}, {"Step33", 33, {5, 9, 13}},         {"Step50", 50, {4, 7, 10}},
    {"Step100", 100, {3, 5, 7}},  {"Step10000", 10000, {2, 3, 4, 5}},
};

class ReadoutRefreshTest : public SimuPageTest,
                           public ::testing::WithParamInterface<TRefreshCase> {};

struct TReadouts {
  double Speed, Acc, Angle, Warp, X, Y, Time;
  bool operator==(const TReadouts& o) const {
    return Speed == o.Speed && Acc == o.Acc && Angle == o.Angle && Warp == o.Warp && X == o.X &&
           Y == o.Y && Time == o.Time;
  }
  bool operator!=(const TReadouts& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& os, const TReadouts& r) {
  return os << "speed " << r.Speed << " acc " << r.Acc << " angle " << r.Angle << " warp " << r.Warp
            << " pos " << r.X << "," << r.Y << " time " << r.Time;
}

TEST_P(ReadoutRefreshTest, ReadoutsShowThePreviousTicksStateOnTheirTicks) {
  const TRefreshCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(ReadyCounting());
  test::TypeAndLeave(W<TNumEdit>("nedtSimuStep"), QString::number(c.StepMs));
  ASSERT_EQ(W<TNumEdit>("nedtSimuStep")->IntValue(), c.StepMs);
  Click("btnSimuStart");
  auto shown = [this] {
    auto value = [this](const char* name) { return W<TNumEdit>(name)->Value(); };
    return TReadouts{value("nedtSimuSpeed"),
                     value("nedtSimuAcc"),
                     value("nedtSimuFrontAngle"),
                     value("nedtSimuWarp"),
                     value("nedtSimuPosX"),
                     value("nedtSimuPosY"),
                     W<QLCDNumber>("vrdgtgrpSimuTime")->value()};
  };
  auto engine = [this] {
    const TSimu& s = Sim();
    // The time shows two decimals below 1000 s, one below 10000 s.
    const double t = s.TimeMs / 1000.0;
    const int decimals = t < 999.995 ? 2 : t < 9999.95 ? 1 : 0;
    const double time = QString::number(t, 'f', decimals).toDouble();
    return TReadouts{s.Speed, s.Acc, s.FrontWheelAngle(), s.Warp, s.Pos.X, s.Pos.Y, time};
  };
  TReadouts before = shown();
  int refreshes = 0;
  for (int tick = 1; tick <= c.RefreshTicks.back(); ++tick) {
    const TReadouts left = engine();
    Main->tmrRunTimer();
    const bool due = std::count(c.RefreshTicks.begin(), c.RefreshTicks.end(), tick) > 0;
    if (due) {
      ++refreshes;
      EXPECT_EQ(shown(), left) << "tick " << tick;
      EXPECT_NE(shown(), before) << "tick " << tick;
    } else {
      EXPECT_EQ(shown(), before) << "tick " << tick;
    }
    before = shown();
  }
  EXPECT_EQ(refreshes, static_cast<int>(c.RefreshTicks.size()));
  EXPECT_EQ(Sim().Records.Count(), c.RefreshTicks.back());
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, ReadoutRefreshTest, ::testing::ValuesIn(RefreshCases),
                         test::TCaseName());

// ---- saving ------------------------------------------------------------------------------

// The first save of a run asks for a name in the record folder; saving the same run
// again writes to that file without asking.
TEST_F(SimuPageTest, FirstSaveAsksForANameLaterSavesOverwrite) {
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  Click("btnSimuStart");
  Ticks(5);
  Click("btnSimuPause");
  const QString file = Dir.Path(QStringLiteral("Record/run.krf"));
  Dialogs.AnswerFile(file);
  Click("btnSaveSimuResult");
  ASSERT_EQ(Dialogs.FileDialogs.size(), 4u);
  const test::TShownFileDialog& d = Dialogs.FileDialogs.back();
  EXPECT_TRUE(d.Save);
  EXPECT_EQ(d.Folder, ProgramDir() + QStringLiteral("Record"));
  EXPECT_EQ(d.Proposed, ProgramDir() + QStringLiteral("Record/新建仿真记录.krf"));
  EXPECT_EQ(d.Filter, QStringLiteral("仿真记录文件(*.krf)"));
  EXPECT_EQ(ReadRecord(file).Count, 5);
  EXPECT_FALSE(State().DocModified || State().DocIsNew);
  EXPECT_FALSE(Enabled("btnSaveSimuResult"));
  EXPECT_EQ(Sim().RecordFile, file);

  Click("btnSimuStart");
  EXPECT_TRUE(State().DocModified);
  Ticks(4);
  Click("btnSimuPause");
  Click("btnSaveSimuResult");
  EXPECT_EQ(Dialogs.FileDialogs.size(), 4u);
  EXPECT_EQ(ReadRecord(file).Count, 9);
  EXPECT_FALSE(State().DocModified);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// A save that cannot be written is reported with the file's name; the run stays unsaved
// and can be saved under another name.
TEST_F(SimuPageTest, FailedSaveIsReportedAndKeepsTheRunUnsaved) {
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  Click("btnSimuStart");
  Ticks(3);
  Click("btnSimuPause");
  const QString bad = Dir.Path(QStringLiteral("NoSuchFolder/lost.krf"));
  Dialogs.AnswerFile(bad);
  Dialogs.AnswerBox(Btn::Ok);
  Click("btnSaveSimuResult");
  ExpectBoxes(Dialogs.Boxes, {{"lost.krf保存失败！", "Kurvino2 ", {}}});
  EXPECT_FALSE(QFileInfo::exists(bad));
  EXPECT_TRUE(State().DocModified);
  EXPECT_TRUE(Enabled("btnSaveSimuResult"));

  const QString good = Dir.Path(QStringLiteral("Record/found.krf"));
  Dialogs.AnswerFile(good);
  Click("btnSaveSimuResult");
  EXPECT_EQ(Dialogs.FileDialogs.size(), 5u);  // asked again: the failed name is not the run's
  EXPECT_EQ(ReadRecord(good).Count, 3);
  EXPECT_FALSE(State().DocModified);
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
}

// ---- a module that fails ---------------------------------------------------------------

const char* const FaultKinds[] = {"segv", "abort", "exit", "hang"};

class JudgeFailureTest : public SimuPageTest, public ::testing::WithParamInterface<const char*> {};

// A module whose first Judge call fails ends the run on that tick: reported, the clock
// stopped, nothing recorded or shown, and the page ready for other files or another start.
TEST_P(JudgeFailureTest, FirstCallFailureStopsTheRunAndUnlocksTheLoads) {
  qputenv("K2_FAULT", GetParam());
  qputenv("K2_FAULT_AT", "1");
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("faulty")));
  // A hanging call fails on the call timeout; a short one keeps the test quick.
  if (std::strcmp(GetParam(), "hang") == 0) Sim().Judge().SetTimeoutMs(300);
  Click("btnSimuStart");
  Dialogs.AnswerBox(Btn::Ok);
  Ticks(1);
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  const test::TShownBox& box = Dialogs.Boxes[0];
  EXPECT_EQ(FirstLine(box.Text), QString::fromUtf8(JudgeFailed));
  EXPECT_EQ(box.Title, ErrorTitle);
  EXPECT_EQ(box.Icon, QMessageBox::Critical);
  EXPECT_EQ(box.Buttons, Btns(QMessageBox::Ok));

  EXPECT_FALSE(Clock().IsRunning());
  for (const char* s : {"vrscpSimuSpeed", "vrscpSimuWarp"}) EXPECT_FALSE(W<TScope>(s)->Active());
  ExpectReadoutsZero();
  EXPECT_EQ(Sim().Records.Count(), 0);
  for (const char* on : {"btnSimuStart", "btnExitSimu", "nedtSimuStep", "btnSimuLoadPath",
                         "btnSimuLoadCar", "btnSimuLoadJudge"})
    EXPECT_TRUE(Enabled(on)) << on;
  EXPECT_TRUE(GroupOn("grpSimuLoad"));
  for (const char* off : {"btnSaveSimuResult", "btnSimuPause", "btnSimuStop"})
    EXPECT_FALSE(Enabled(off)) << off;
  Ticks(1);  // a tick queued before the stop changes nothing
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, JudgeFailureTest, ::testing::ValuesIn(FaultKinds),
                         test::TCaseName());

// ---- leaving: Exit, another page, closing ----------------------------------------------

// How the page is left, what the run is doing then, and what becomes of it.
enum TLeave { Exit, Switch, Close };
enum TRun { Idle, Run, Pause };         // not started, running, paused
enum TOutcome { Leaves, Runs, Stays };  // left; still running; paused on the page

struct TLeaveCase {
  const char* Name;
  TLeave How;
  TRun State;
  const char* Answers;  // the boxes' answers in order: Y(es), N(o), C(ancel), O(K)
  const char* SaveAs;   // the name dialog's answer under the folder; "" cancels; null: none
  std::vector<TBoxSpec> Boxes;
  TOutcome Outcome;
};
void PrintTo(const TLeaveCase& c, std::ostream* os) { *os << c.Name; }

const Btns YesNo = Btns(QMessageBox::Yes | QMessageBox::No);
const Btns YesNoCancel = Btns(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
const TBoxSpec ExitAsk = {"仿真结果未保存。\r\n是否保存？", "退出仿真", YesNoCancel};
const TBoxSpec SwitchRun = {"仿真正在进行中，是否停止仿真并切换页面？", "切换页面", YesNo};
const TBoxSpec SwitchStop = {"仿真结果未保存。\r\n是否保存？", "切换仿真", YesNo};
const TBoxSpec SwitchAsk = {"仿真结果未保存。\r\n是否保存？", "切换页面", YesNoCancel};
const TBoxSpec CloseRun = {"仿真正在进行中，是否停止仿真并退出程序？", "退出程序", YesNo};
const TBoxSpec CloseStop = {"仿真结果未保存。\r\n是否保存？", "退出程序", YesNo};
const TBoxSpec CloseAsk = {"仿真结果未保存。\r\n是否保存？", "退出程序", YesNoCancel};
const TBoxSpec Failed = {"lost.krf保存失败！", "Kurvino2 ", {}};
const char* const Bad = "NoSuchFolder/lost.krf";
const char* const Good = "Record/kept.krf";

const TLeaveCase LeaveCases[] = {
    {"ExitNotStarted", Exit, Idle, "", nullptr, {}, Leaves},
    {"ExitCancel", Exit, Pause, "C", nullptr, {ExitAsk}, Stays},
    {"ExitNo", Exit, Pause, "N", nullptr, {ExitAsk}, Leaves},
    {"ExitYesNameCancelled", Exit, Pause, "Y", "", {ExitAsk}, Stays},
    {"ExitYesSaveFails", Exit, Pause, "YO", Bad, {ExitAsk, Failed}, Stays},
    {"ExitYesSaved", Exit, Pause, "Y", Good, {ExitAsk}, Leaves},
    {"SwitchNotStarted", Switch, Idle, "", nullptr, {}, Leaves},
    {"SwitchRunDeclined", Switch, Run, "N", nullptr, {SwitchRun}, Runs},
    {"SwitchRunStopNoSave", Switch, Run, "YN", nullptr, {SwitchRun, SwitchStop}, Leaves},
    {"SwitchRunNameCancelled", Switch, Run, "YY", "", {SwitchRun, SwitchStop}, Stays},
    {"SwitchRunSaveFails", Switch, Run, "YYO", Bad, {SwitchRun, SwitchStop, Failed}, Stays},
    {"SwitchRunSaved", Switch, Run, "YY", Good, {SwitchRun, SwitchStop}, Leaves},
    {"SwitchPausedCancel", Switch, Pause, "C", nullptr, {SwitchAsk}, Stays},
    {"SwitchPausedNo", Switch, Pause, "N", nullptr, {SwitchAsk}, Leaves},
    {"CloseRunDeclined", Close, Run, "N", nullptr, {CloseRun}, Runs},
    {"CloseRunStopNoSave", Close, Run, "YN", nullptr, {CloseRun, CloseStop}, Leaves},
    {"CloseRunSaved", Close, Run, "YY", Good, {CloseRun, CloseStop}, Leaves},
    {"ClosePausedCancel", Close, Pause, "C", nullptr, {CloseAsk}, Stays},
};

Btn Answer(char c) {
  return c == 'Y' ? Btn::Yes : c == 'N' ? Btn::No : c == 'C' ? Btn::Cancel : Btn::Ok;
}

class LeaveTest : public SimuPageTest, public ::testing::WithParamInterface<TLeaveCase> {
 protected:
  // True when the page was left.
  bool Leave(TLeave how) {
    switch (how) {
      case Exit:
        Click("btnExitSimu");
        return !State().CurSimu;
      case Switch:
        Main->SwitchPage(0);
        return Main->CurrentPage() == 0;
      case Close:
        return Main->FormClose();
    }
    return false;
  }
};

// Leaving asks about a running simulation and an unsaved result, saves when told to, and
// either releases the engine and empties the page, or keeps the run and its records.
TEST_P(LeaveTest, LeavingAsksStopsSavesOrStays) {
  const TLeaveCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  const pid_t host = Sim().Judge().HostPid();
  ASSERT_GT(host, 0);
  const int steps = c.State == Idle ? 0 : 7;
  if (c.State != Idle) {
    Click("btnSimuStart");
    Ticks(steps);
  }
  if (c.State == Pause) Click("btnSimuPause");
  for (const char* a = c.Answers; *a; ++a) Dialogs.AnswerBox(Answer(*a));
  if (c.SaveAs) Dialogs.AnswerFile(*c.SaveAs ? Dir.Path(QLatin1String(c.SaveAs)) : QString());

  const bool left = Leave(c.How);
  ExpectBoxes(Dialogs.Boxes, c.Boxes);
  EXPECT_EQ(left, c.Outcome == Leaves);
  EXPECT_EQ(Dialogs.FileDialogs.size(), c.SaveAs ? 4u : 3u);
  if (c.SaveAs && *c.SaveAs) {
    // Only a save that let the page go has written the file, with the whole run.
    const TSavedRecord r = ReadRecord(Dir.Path(QLatin1String(c.SaveAs)));
    EXPECT_EQ(r.Read, c.Outcome == Leaves);
    if (r.Read) {
      EXPECT_EQ(r.Count, steps);
    }
  }

  if (c.Outcome == Leaves) {
    EXPECT_FALSE(State().CurSimu);
    EXPECT_TRUE(ProcessGone(host));
    EXPECT_FALSE(Clock().IsRunning());
    EXPECT_FALSE(State().DocModified || State().DocIsNew || State().DocOpen);
    ExpectInitialPage();
    EXPECT_EQ(Main->CurrentPage(), c.How == Switch ? 0 : 2);
    return;
  }
  ASSERT_TRUE(State().CurSimu);
  EXPECT_EQ(Main->CurrentPage(), 2);
  EXPECT_EQ(Sim().Records.Count(), steps);
  EXPECT_EQ(Sim().Judge().HostPid(), host);
  EXPECT_TRUE(State().DocModified);
  EXPECT_EQ(Text("edtSimuJudge"), QStringLiteral("follower.so"));
  if (c.Outcome == Runs) {
    ExpectRunningButtons();
    Ticks(1);  // the run goes on
    EXPECT_EQ(Sim().Records.Count(), steps + 1);
  } else {
    ExpectPausedButtons();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LeaveTest, ::testing::ValuesIn(LeaveCases), test::TCaseName());

// ---- the window run and the headless run --------------------------------------------------

// The page's run, with its views drawn every tick, records exactly what kurvino2-cli run
// records from the same files: the two record files are equal byte for byte.
TEST_F(SimuPageTest, WindowRunRecordsWhatTheHeadlessRunRecords) {
  // A track with curves, so that the module steers and the readings vary.
  const std::vector<TElementSpec> loop = {LineTo(0, 500), test::ArcAround(400, 500, -180),
                                          LineTo(800, 0), test::ArcAround(400, 0, -180)};
  ASSERT_TRUE(test::SaveTrack(TrackFile, loop));
  ASSERT_TRUE(test::SaveCar(CarFile, *test::RowCar(5, 20, true)));
  const int steps = 300;
  ASSERT_NO_FATAL_FAILURE(Ready(ModulePath("follower")));
  Click("btnSimuStart");
  Ticks(steps);
  Click("btnSimuPause");
  ASSERT_EQ(Sim().Records.Count(), steps);
  ASSERT_NE(Sim().Car->Heading, 0) << "the run should have turned";
  const QString windowFile = Dir.Path(QStringLiteral("Record/window.krf"));
  Dialogs.AnswerFile(windowFile);
  Click("btnSaveSimuResult");
  ASSERT_TRUE(Dialogs.Boxes.empty());

  const QString cliFile = Dir.Path(QStringLiteral("headless.krf"));
  QProcess cli;
  cli.setWorkingDirectory(Dir.Dir());
  cli.start(BinFile("kurvino2-cli"),
            {QStringLiteral("--settings"), Dir.Path(QStringLiteral("absent.ini")),
             QStringLiteral("run"), QStringLiteral("--track"), TrackFile, QStringLiteral("--car"),
             CarFile, QStringLiteral("--judge"), ModulePath("follower"), QStringLiteral("--step"),
             QStringLiteral("10"), QStringLiteral("--steps"), QString::number(steps),
             QStringLiteral("--out"), cliFile});
  ASSERT_TRUE(cli.waitForFinished(120000));
  ASSERT_EQ(cli.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

  const QByteArray window = test::ReadFile(windowFile);
  const QByteArray headless = test::ReadFile(cliFile);
  ASSERT_FALSE(window.isEmpty());
  ASSERT_EQ(ReadRecord(cliFile).Count, steps);
  qsizetype differs = 0;
  while (differs < std::min(window.size(), headless.size()) && window[differs] == headless[differs])
    ++differs;
  EXPECT_EQ(window.size(), headless.size());
  EXPECT_TRUE(window == headless) << "first difference at byte " << differs;
}

// ---- the module's output window ----------------------------------------------------------

// The menu's output window shows what the module printed, as it printed it during the
// ticks; loading a module again starts it afresh.
TEST_F(SimuPageTest, OutputWindowShowsWhatTheModulePrinted) {
  ASSERT_NO_FATAL_FAILURE(ReadyCounting());
  auto* window = Main->findChild<TwdJudgeOutput*>(QStringLiteral("wdJudgeOutput"));
  ASSERT_TRUE(window);
  auto* action = Main->findChild<QAction*>(QStringLiteral("actJudgeOutput"));
  ASSERT_TRUE(action);
  EXPECT_FALSE(window->isVisible());
  action->trigger();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->Text(), QStringLiteral("load\nreset"));

  Click("btnSimuStart");
  Ticks(2);
  EXPECT_EQ(window->Text(), QStringLiteral("load\nreset\njudge 1\njudge 2"));
  Ticks(1);
  EXPECT_EQ(window->Text(), QStringLiteral("load\nreset\njudge 1\njudge 2\njudge 3"));
  Click("btnSimuPause");

  // Loads are offered again after leaving and entering simulation mode.
  Dialogs.AnswerBox(Btn::No);
  Click("btnExitSimu");
  Click("btnEnterSimu");
  EXPECT_TRUE(window->Text().endsWith(QStringLiteral("judge 3")));  // kept until a new module
  Load("btnSimuLoadPath", TrackFile);
  EXPECT_TRUE(window->Text().endsWith(QStringLiteral("judge 3")));
  Load("btnSimuLoadJudge", ModulePath("faulty"));
  EXPECT_EQ(window->Text(), QStringLiteral("load\nreset"));
  EXPECT_EQ(Dialogs.Boxes.size(), 1u);
}

}  // namespace
}  // namespace k2
