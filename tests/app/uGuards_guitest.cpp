// The toolbar and the two guards of the main window: a page button pressed in any way
// goes through the page switch, the toolbar always shows the page that is shown, and
// leaving a page or closing the window asks about what would be lost.  Driven through
// the toolbar buttons and the window's close(), with scripted boxes and file dialogs;
// run clock ticks are delivered by calling the window's tick handler.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QToolButton>
#include <QtTest/QTest>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "app/uMain.h"
#include "base/uSettings.h"
#include "car/uCar.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "replay/uReplay.h"
#include "simulation/SimFixtures.h"
#include "simulation/uJudge.h"
#include "simulation/uRecord.h"
#include "simulation/uSimu.h"
#include "ui/uRunClock.h"

namespace k2 {
namespace {

using Btn = QMessageBox::StandardButton;
using Btns = QMessageBox::StandardButtons;

const Btns YesNo = Btns(Btn::Yes | Btn::No);
const Btns YesNoCancel = Btns(Btn::Yes | Btn::No | Btn::Cancel);

// The judge host and the test modules are built beside this program (build/bin and
// build/test-modules).
QString BinFile(const char* name) {
  return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}
QString ModulePath(const char* name) {
  return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../test-modules"))
      .absoluteFilePath(QLatin1String(name) + QStringLiteral(".so"));
}

class GuardTest : public ::testing::Test, protected test::TPageDriver {
 protected:
  GuardTest() {
    for (const char* folder : {"Path", "Car", "Record", "Judgement"})
      QDir(Dir.Dir()).mkdir(QLatin1String(folder));
    TJudgeModule::SetDefaultHostPath(BinFile("kurvino2-judge-host"));
    Main = std::make_unique<TwdMain>();
    SetRoot(Main.get());
  }
  void TearDown() override {
    Main.reset();
    EXPECT_TRUE(Dialogs.AllAnswersUsed());
  }

  TSharedState& State() const { return Main->State(); }
  TRunClock& Clock() const { return Main->RunClock(); }
  // Which toolbar buttons are down.
  std::vector<bool> Toolbar() const {
    std::vector<bool> down;
    for (int i = 0; i < 4; ++i) down.push_back(Main->ToolButton(i)->isChecked());
    return down;
  }
  static std::vector<bool> Only(int page) {
    std::vector<bool> down(4, false);
    down[static_cast<size_t>(page)] = true;
    return down;
  }
  void PressPage(int page) { Main->ToolButton(page)->click(); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Main->tmrRunTimer();
  }
  void ExpectBox(size_t i, const QString& text, const char* title, Btns buttons) const {
    ASSERT_GT(Dialogs.Boxes.size(), i);
    EXPECT_EQ(Dialogs.Boxes[i].Text, text);
    EXPECT_EQ(Dialogs.Boxes[i].Title, QString::fromUtf8(title));
    EXPECT_EQ(Dialogs.Boxes[i].Icon, QMessageBox::Warning);
    EXPECT_EQ(Dialogs.Boxes[i].Buttons, buttons);
  }

  // Documents of the two design pages.
  void NewTrack() {
    ASSERT_EQ(Main->CurrentPage(), 0);
    Click("btnNewPath");
    ASSERT_TRUE(State().CurTrack && State().DocModified);
  }
  void OpenTrack() {
    const QString file = Dir.Path(QStringLiteral("Path/line.kpf"));
    ASSERT_TRUE(test::SaveTrack(file, {test::LineTo(0, 1000)}));
    Dialogs.AnswerFile(file);
    Click("btnOpenPath");
    ASSERT_TRUE(State().CurTrack && !State().DocModified);
  }
  void NewCar() {
    Main->SwitchPage(1);
    Click("btnNewCar");
    ASSERT_TRUE(State().CurCar && State().DocModified);
  }
  void OpenCar() {
    Main->SwitchPage(1);
    const QString file = Dir.Path(QStringLiteral("Car/racer.kcf"));
    ASSERT_TRUE(test::SaveCar(file, *test::RowCar(3)));
    Dialogs.AnswerFile(file);
    Click("btnOpenCar");
    ASSERT_TRUE(State().CurCar && !State().DocModified);
  }
  // Simulation mode with a straight track, a car and a working module loaded.
  void ReadySimulation() {
    ASSERT_TRUE(QFileInfo::exists(ModulePath("follower"))) << "build the test modules";
    const QString track = Dir.Path(QStringLiteral("Path/straight.kpf"));
    const QString car = Dir.Path(QStringLiteral("Car/row.kcf"));
    ASSERT_TRUE(test::SaveTrack(track, {test::LineTo(0, 6000)}));
    ASSERT_TRUE(test::SaveCar(car, *test::RowCar(5)));
    Main->SwitchPage(2);
    Click("btnEnterSimu");
    for (const auto& [button, file] :
         {std::pair{"btnSimuLoadPath", track}, std::pair{"btnSimuLoadCar", car},
          std::pair{"btnSimuLoadJudge", ModulePath("follower")}}) {
      Dialogs.AnswerFile(file);
      Click(button);
    }
    ASSERT_TRUE(Dialogs.Boxes.empty()) << Dialogs.Boxes.front().Text.toStdString();
    ASSERT_TRUE(State().CurSimu && State().CurSimu->IsReady());
  }
  // A record of `count` steps on the replay page, playing.
  void PlayReplay(int count) {
    auto track = test::MakeTrack({test::LineTo(0, 2000)});
    auto car = test::RowCar(2);
    TRecords records;
    records.SensorCount = 2;
    for (int i = 0; i < count; ++i) {
      const float fields[7] = {0, static_cast<float>(i), 0, 0, 1, 0, 0};
      const uint8_t readings[2] = {0, 255};
      records.Add(fields, readings, 2);
    }
    const QString path = Dir.Path(QStringLiteral("Record/run.krf"));
    QString error;
    ASSERT_TRUE(WriteRecordFile(
        path, {QStringLiteral("t.kpf"), QStringLiteral("c.kcf"), QStringLiteral("follower.so")}, 10,
        *track, *car, records, error))
        << error.toStdString();
    Main->SwitchPage(3);
    Dialogs.AnswerFile(path);
    Click("btnReplayOpen");
    ASSERT_TRUE(State().CurReplay);
    Click("btnReplayPlay");
    ASSERT_TRUE(Clock().IsRunning());
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Dialogs;
  std::unique_ptr<TwdMain> Main;
};

// ---- the toolbar --------------------------------------------------------------------

struct TPressCase {
  const char* Name;
  std::function<void(QToolButton*)> Press;
};
void PrintTo(const TPressCase& c, std::ostream* os) { *os << c.Name; }

class PageButtonTest : public GuardTest, public ::testing::WithParamInterface<TPressCase> {};

// Whatever presses a page button asks the page shown first; a declined switch leaves the
// toolbar showing the page that is still shown.
TEST_P(PageButtonTest, PressingAPageButtonGoesThroughTheSwitch) {
  NewTrack();
  Dialogs.AnswerBox(Btn::Cancel);
  GetParam().Press(Main->ToolButton(1));
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("切换页面"));
  EXPECT_EQ(Main->CurrentPage(), 0);
  EXPECT_EQ(Toolbar(), Only(0));
  EXPECT_TRUE(State().CurTrack);

  Dialogs.AnswerBox(Btn::No);
  GetParam().Press(Main->ToolButton(1));
  EXPECT_EQ(Dialogs.Boxes.size(), 2u);
  EXPECT_EQ(Main->CurrentPage(), 1);
  EXPECT_EQ(Toolbar(), Only(1));
  EXPECT_FALSE(State().CurTrack);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PageButtonTest,
    ::testing::Values(TPressCase{"Click", [](QToolButton* b) { b->click(); }},
                      TPressCase{"Space",
                                 [](QToolButton* b) { QTest::keyClick(b, Qt::Key_Space); }},
                      TPressCase{"Toggle", [](QToolButton* b) { b->toggle(); }}),
    test::TCaseName());

// The button of the page shown, pressed or toggled off, and a switch to that page leave
// the page and its document alone.
TEST_F(GuardTest, ThePageShownStaysAsItIs) {
  NewTrack();
  const QString title = Main->windowTitle();
  Main->ToolButton(0)->click();
  EXPECT_EQ(Toolbar(), Only(0));
  Main->ToolButton(0)->toggle();
  EXPECT_EQ(Toolbar(), Only(0));
  QTest::keyClick(Main->ToolButton(0), Qt::Key_Space);
  EXPECT_EQ(Toolbar(), Only(0));
  Main->SwitchPage(0);
  EXPECT_EQ(Toolbar(), Only(0));
  EXPECT_TRUE(Dialogs.Boxes.empty());
  EXPECT_EQ(Main->CurrentPage(), 0);
  EXPECT_TRUE(State().CurTrack && State().DocModified && State().DocIsNew);
  EXPECT_EQ(Main->windowTitle(), title);
}

// ---- nothing to lose ----------------------------------------------------------------

class QuietLeaveTest;

struct TQuietCase {
  const char* Name;
  int Page;
  std::function<void(QuietLeaveTest&)> Setup;
};
void PrintTo(const TQuietCase& c, std::ostream* os) { *os << c.Name; }

class QuietLeaveTest : public GuardTest, public ::testing::WithParamInterface<TQuietCase> {
 public:
  using GuardTest::OpenCar;
  using GuardTest::OpenTrack;
  void Enter() {
    Main->SwitchPage(2);
    Click("btnEnterSimu");
  }
  void Show(int page) { Main->SwitchPage(page); }
};

// A page with nothing to lose is left and the window closed without a question; the page
// left is empty when it is shown again.
TEST_P(QuietLeaveTest, LeavesWithoutAQuestion) {
  const TQuietCase& c = GetParam();
  c.Setup(*this);
  ASSERT_EQ(Main->CurrentPage(), c.Page);
  const int target = (c.Page + 1) % 4;
  PressPage(target);
  EXPECT_TRUE(Dialogs.Boxes.empty());
  EXPECT_EQ(Main->CurrentPage(), target);
  EXPECT_EQ(Toolbar(), Only(target));
  EXPECT_FALSE(State().CurTrack || State().CurCar || State().CurSimu || State().CurReplay);
  EXPECT_FALSE(State().DocModified || State().DocIsNew || State().DocOpen);
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 "));
  PressPage(c.Page);
  EXPECT_EQ(Main->CurrentPage(), c.Page);

  // The same page again, closed with the window.
  c.Setup(*this);
  Main->show();
  EXPECT_TRUE(Main->close());
  EXPECT_FALSE(Main->isVisible());
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuietLeaveTest,
    ::testing::Values(TQuietCase{"TrackPageEmpty", 0, [](QuietLeaveTest&) {}},
                      TQuietCase{"TrackSaved", 0, [](QuietLeaveTest& t) { t.OpenTrack(); }},
                      TQuietCase{"CarPageEmpty", 1, [](QuietLeaveTest& t) { t.Show(1); }},
                      TQuietCase{"CarSaved", 1, [](QuietLeaveTest& t) { t.OpenCar(); }},
                      TQuietCase{"SimulationEntered", 2, [](QuietLeaveTest& t) { t.Enter(); }},
                      TQuietCase{"ReplayPageEmpty", 3, [](QuietLeaveTest& t) { t.Show(3); }}),
    test::TCaseName());

// ---- an unsaved track or car --------------------------------------------------------

enum TSaveAs { NoDialog, DialogCancelled, SaveFails, Saved };

struct TUnsavedCase {
  const char* Name;
  bool Close;           // the window is closed instead of a switch to the simulation page
  const char* Answers;  // Y(es), N(o), C(ancel) for the boxes, in order
  TSaveAs Save;
  bool Leaves;
};

const TUnsavedCase UnsavedCases[] = {
    {"SwitchCancel", false, "C", NoDialog, false},
    {"SwitchNo", false, "N", NoDialog, true},
    {"SwitchSaved", false, "Y", Saved, true},
    {"SwitchDialogCancelled", false, "Y", DialogCancelled, false},  // no second question
    {"SwitchSaveFailsGoOn", false, "YY", SaveFails, true},
    {"SwitchSaveFailsStay", false, "YN", SaveFails, false},
    {"CloseCancel", true, "C", NoDialog, false},
    {"CloseNo", true, "N", NoDialog, true},
    {"CloseSaved", true, "Y", Saved, true},
    {"CloseDialogCancelledGoOn", true, "YY", DialogCancelled, true},  // counts as failed
    {"CloseDialogCancelledStay", true, "YN", DialogCancelled, false},
    {"CloseSaveFailsGoOn", true, "YY", SaveFails, true},
    {"CloseSaveFailsStay", true, "YN", SaveFails, false},
};

// The two design pages' documents.
struct TDocCase {
  const char* Name;
  int Page;
  const char* NewName;  // the new document's file name
  const char* Folder;
  const char* Filter;
  const char* Caption;  // of the window with the new document
};
const TDocCase DocCases[] = {
    {"Track", 0, "新建赛道.kpf", "Path", "赛道文件(*.kpf)", "Kurvino2 - 新建赛道.kpf *"},
    {"Car", 1, "新建赛车.kcf", "Car", "赛车文件(*.kcf)", "Kurvino2 新建赛车.kcf *"},
};

void PrintTo(const TDocCase& c, std::ostream* os) { *os << c.Name; }
void PrintTo(const TUnsavedCase& c, std::ostream* os) { *os << c.Name; }

using TUnsavedParam = std::tuple<TDocCase, TUnsavedCase>;

class UnsavedTest : public GuardTest, public ::testing::WithParamInterface<TUnsavedParam> {};

// The unsaved-document question of both guards: its texts and titles, each answer, the
// save dialog and a failed save; a declined leave keeps the page, its document unsaved
// and the window.
TEST_P(UnsavedTest, AsksToSaveAndLeavesOrStays) {
  const auto& [doc, c] = GetParam();
  if (doc.Page == 0)
    NewTrack();
  else
    NewCar();
  Main->show();
  const QString name = QString::fromUtf8(doc.NewName);
  const QString folder = ProgramDir() + QLatin1String(doc.Folder);
  const QString saved = folder + QStringLiteral("/kept") + name.right(4);
  for (const char* a = c.Answers; *a; ++a)
    Dialogs.AnswerBox(*a == 'Y' ? Btn::Yes : *a == 'N' ? Btn::No : Btn::Cancel);
  if (c.Save == DialogCancelled) Dialogs.AnswerFile(QString());
  if (c.Save == SaveFails)
    Dialogs.AnswerFile(Dir.Path(QStringLiteral("NoSuchFolder/lost")) + name.right(4));
  if (c.Save == Saved) Dialogs.AnswerFile(saved);

  bool left;
  if (c.Close) {
    left = Main->close();
    EXPECT_EQ(Main->isVisible(), !left);
  } else {
    PressPage(2);
    left = Main->CurrentPage() == 2;
  }
  EXPECT_EQ(left, c.Leaves);

  const char* title = c.Close ? "退出程序" : "切换页面";
  const size_t boxes = strlen(c.Answers);
  ASSERT_EQ(Dialogs.Boxes.size(), boxes);
  ExpectBox(0, name + QStringLiteral("未保存。\r\n是否保存？"), title, YesNoCancel);
  if (boxes == 2)
    ExpectBox(1,
              name + QStringLiteral("保存失败！\r\n") +
                  (c.Close ? QStringLiteral("继续退出程序？") : QStringLiteral("继续切换页面？")),
              title, YesNo);
  if (c.Save != NoDialog) {
    ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
    const test::TShownFileDialog& d = Dialogs.FileDialogs[0];
    EXPECT_TRUE(d.Save);
    EXPECT_EQ(QDir::cleanPath(d.Folder), QDir::cleanPath(folder));
    EXPECT_EQ(QDir::cleanPath(d.Proposed), QDir::cleanPath(folder + QLatin1Char('/') + name));
    EXPECT_EQ(d.Filter, QString::fromUtf8(doc.Filter));
  } else {
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
  }
  EXPECT_EQ(QFile::exists(saved), c.Save == Saved);

  if (c.Leaves) {
    EXPECT_FALSE(State().CurTrack || State().CurCar);
    EXPECT_FALSE(State().DocModified || State().DocIsNew || State().DocOpen);
    EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 "));
    if (!c.Close) {
      EXPECT_EQ(Toolbar(), Only(2));
    }
    return;
  }
  EXPECT_EQ(Main->CurrentPage(), doc.Page);
  EXPECT_EQ(Toolbar(), Only(doc.Page));
  EXPECT_TRUE(doc.Page == 0 ? bool(State().CurTrack) : bool(State().CurCar));
  EXPECT_TRUE(State().DocModified && State().DocOpen);
  EXPECT_EQ(Main->windowTitle(), QString::fromUtf8(doc.Caption));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnsavedTest,
                         ::testing::Combine(::testing::ValuesIn(DocCases),
                                            ::testing::ValuesIn(UnsavedCases)),
                         [](const ::testing::TestParamInfo<TUnsavedParam>& info) {
                           return std::string(std::get<0>(info.param).Name) +
                                  std::get<1>(info.param).Name;
                         });

// ---- a simulation, a replay ---------------------------------------------------------

// The toolbar and the window's close() after the simulation page declined to be left:
// the page, its toolbar button and the run (or the unsaved record) stay.
TEST_F(GuardTest, ADeclinedSimulationLeaveKeepsThePageAndTheRun) {
  ASSERT_NO_FATAL_FAILURE(ReadySimulation());
  Main->show();
  Click("btnSimuStart");
  Ticks(5);
  TSimu& sim = *State().CurSimu;

  // Running: declining to stop.
  Dialogs.AnswerBox(Btn::No);
  PressPage(0);
  ExpectBox(0, QStringLiteral("仿真正在进行中，是否停止仿真并切换页面？"), "切换页面", YesNo);
  EXPECT_EQ(Toolbar(), Only(2));
  Dialogs.AnswerBox(Btn::No);
  EXPECT_FALSE(Main->close());
  ExpectBox(1, QStringLiteral("仿真正在进行中，是否停止仿真并退出程序？"), "退出程序", YesNo);
  EXPECT_TRUE(Main->isVisible());
  EXPECT_TRUE(Clock().IsRunning());
  Ticks(1);
  EXPECT_EQ(sim.Records.Count(), 6);

  // Stopping, then saving to where no file can be: the record save fails and the page
  // stays with the run unsaved.
  Dialogs.AnswerBox(Btn::Yes);
  Dialogs.AnswerBox(Btn::Yes);
  Dialogs.AnswerFile(Dir.Path(QStringLiteral("NoSuchFolder/lost.krf")));
  Dialogs.AnswerBox(Btn::Ok);
  PressPage(3);
  ASSERT_EQ(Dialogs.Boxes.size(), 5u);
  ExpectBox(2, QStringLiteral("仿真正在进行中，是否停止仿真并切换页面？"), "切换页面", YesNo);
  ExpectBox(3, QStringLiteral("仿真结果未保存。\r\n是否保存？"), "切换仿真", YesNo);
  EXPECT_TRUE(Dialogs.Boxes[4].Text.startsWith(QStringLiteral("lost.krf保存失败！")));
  EXPECT_EQ(Main->CurrentPage(), 2);
  EXPECT_EQ(Toolbar(), Only(2));
  EXPECT_FALSE(Clock().IsRunning());
  ASSERT_EQ(State().CurSimu.get(), &sim);
  EXPECT_TRUE(State().DocModified);
  EXPECT_EQ(sim.Records.Count(), 6);

  // Stopped and unsaved: the question has Cancel, which keeps the record.
  Click("btnSimuStop");
  Dialogs.AnswerBox(Btn::Cancel);
  PressPage(1);
  ExpectBox(5, QStringLiteral("仿真结果未保存。\r\n是否保存？"), "切换页面", YesNoCancel);
  EXPECT_EQ(Toolbar(), Only(2));
  EXPECT_EQ(sim.Records.Count(), 6);
  EXPECT_TRUE(State().DocModified);

  Dialogs.AnswerBox(Btn::No);
  PressPage(1);
  EXPECT_EQ(Main->CurrentPage(), 1);
  EXPECT_EQ(Toolbar(), Only(1));
  EXPECT_FALSE(State().CurSimu);
}

// Closing the window while a replay plays asks about the replay; No keeps the window and
// the replay playing.
TEST_F(GuardTest, ADeclinedCloseDuringAReplayKeepsItPlaying) {
  Main->show();
  ASSERT_NO_FATAL_FAILURE(PlayReplay(30));
  Ticks(3);
  const int32_t index = State().CurReplay->Index;
  const QString playing = QStringLiteral("回放正在进行中。\r\n是否停止回放并关闭？");

  Dialogs.AnswerBox(Btn::No);
  EXPECT_FALSE(Main->close());
  ExpectBox(0, playing, "关闭回放文件", YesNo);
  EXPECT_TRUE(Main->isVisible());
  Dialogs.AnswerBox(Btn::No);
  PressPage(0);
  ExpectBox(1, playing, "关闭回放文件", YesNo);
  EXPECT_EQ(Toolbar(), Only(3));
  ASSERT_TRUE(State().CurReplay);
  EXPECT_TRUE(Clock().IsRunning());
  Ticks(1);
  EXPECT_EQ(State().CurReplay->Index, index + 1);

  Dialogs.AnswerBox(Btn::Yes);
  EXPECT_TRUE(Main->close());
  EXPECT_FALSE(Main->isVisible());
  EXPECT_FALSE(State().CurReplay);
  EXPECT_FALSE(Clock().IsRunning());
}

}  // namespace
}  // namespace k2
