// The track design page, driven through its controls on the offscreen platform with
// scripted message boxes and file dialogs.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/uMain.h"
#include "cli/CliTestSupport.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"
#include "geometry/uConstants.h"
#include "track/uPath.h"
#include "track/uPathDesign.h"
#include "track/uPathParam.h"
#include "widgets/uGroupBox.h"
#include "widgets/uNumEdit.h"
#include "widgets/uRasterView.h"

namespace k2 {
namespace {

using Btn = QMessageBox::StandardButton;
const QString CRLF2 = QStringLiteral("\r\n");

// Controls are looked up in the whole main window.
class PathPageTest : public ::testing::Test, protected test::TPageDriver {
 protected:
  PathPageTest() {
    QDir(Dir.Dir()).mkdir(QStringLiteral("Path"));
    Main = std::make_unique<TwdMain>();
    Page = Main->PathPage;
    SetRoot(Main.get());
  }

  void Set(const char* edit, double v) { W<TNumEdit>(edit)->SetValue(v); }
  void AddLine(double x, double y) {
    Set("nedtLineX", x);
    Set("nedtLineY", y);
    Click("btnLine");
  }
  void AddArc(double cx, double cy, int sweep) {
    Set("nedtArcX", cx);
    Set("nedtArcY", cy);
    Set("nedtSweepAngle", sweep);
    Click("btnArc");
  }
  QTableWidget* List() const { return W<QTableWidget>("lvPathDataList"); }
  QStringList Row(int r) const {
    QStringList s;
    for (int c = 0; c < 4; ++c) s << List()->item(r, c)->text();
    return s;
  }
  QImage Design() const { return *W<TRasterView>("imgPathDraw")->Image(); }
  QImage Overview() const { return *W<TRasterView>("imgPathView")->Image(); }
  TPath& Track() const { return *Main->State().CurTrack; }
  QString Pane(int i) const { return Main->StatusPane(static_cast<TStatusPane>(i))->text(); }

  void Mouse(const char* view, QEvent::Type type, QPoint p, Qt::MouseButton b) {
    auto* v = W<TRasterView>(view);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(b);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : b;
    QMouseEvent e(type, QPointF(p), v->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(v, &e);
  }

  // A track file written directly through the model.
  QString WriteTrack(const QString& name, const std::function<void(TPath&)>& build) {
    TPath t(nullptr, 3000, nullptr, 6000);
    build(t);
    t.FileName = Dir.Path(QStringLiteral("Path/") + name);
    EXPECT_TRUE(t.SaveToFile());
    return t.FileName;
  }
  QString NewTrackWithLine() {
    Click("btnNewPath");
    AddLine(1000, 500);
    return Main->windowTitle();
  }
  // The overview after the page's erase-and-redraw of the frame must equal a fresh
  // drawing of it.
  void ExpectOverviewFresh() {
    const QImage shown = Overview();
    Track().DrawOverview(true);
    EXPECT_EQ(Overview(), shown);
  }

  test::TTempDir Dir;
  test::TScriptedDialogs Dialogs;
  std::unique_ptr<TwdMain> Main;
  TPathDesignPage* Page = nullptr;
};

void AppendLine(TPath& t, float x, float y) {
  QString e;
  t.AddLine(BuildLine(t.LastEndPoint(), x, y, e));
}

TEST_F(PathPageTest, WithoutATrackOnlyNewAndOpenAreOffered) {
  EXPECT_TRUE(Enabled("btnNewPath"));
  EXPECT_TRUE(Enabled("btnOpenPath"));
  for (const char* name : {"btnSavePath", "btnClosePath", "btnLine", "btnArc", "btnPathClose",
                           "btnPathDelete", "btnZoomIn", "btnZoomOut", "btnZoomDefault",
                           "btnPathParam", "nedtLineX", "nedtSweepAngle", "lvPathDataList"})
    EXPECT_FALSE(Enabled(name)) << name;
  for (const char* name : {"grpPathDesignLine", "grpPathDesignArc", "grpPathDesignOther",
                           "grpPathZoom", "grpPathList", "grpPathParam"})
    EXPECT_FALSE(W<TGroupBox>(name)->GroupEnabled()) << name;
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 "));
  EXPECT_FALSE(W<TRasterView>("imgPathDraw")->testAttribute(Qt::WA_SetCursor));
}

TEST_F(PathPageTest, NewShowsAnEmptyUnsavedTrack) {
  Click("btnNewPath");
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 - 新建赛道.kpf *"));
  EXPECT_EQ(Track().FileName, Dir.Path(QStringLiteral("Path/新建赛道.kpf")));
  EXPECT_EQ(List()->rowCount(), 0);
  EXPECT_EQ(Pane(1), QStringLiteral("1.00x"));
  EXPECT_EQ(W<QLabel>("stxtPathParam")->text(),
            QStringLiteral("道宽：300mm\n线宽：30mm\n摩擦系数：0.010"));
  for (const char* name : {"btnNewPath", "btnOpenPath", "btnSavePath", "btnClosePath", "btnLine",
                           "btnArc", "btnZoomIn", "btnZoomOut", "btnZoomDefault", "btnPathParam"})
    EXPECT_TRUE(Enabled(name)) << name;
  EXPECT_FALSE(Enabled("btnPathClose"));
  EXPECT_FALSE(Enabled("btnPathDelete"));
  EXPECT_TRUE(Main->State().DocIsNew && Main->State().DocModified && Main->State().DocOpen);
  EXPECT_EQ(W<TRasterView>("imgPathDraw")->cursor().shape(), Qt::SizeAllCursor);
  // Cleared views with the axis glyph and the frame.
  EXPECT_EQ(Design().pixel(279, 279), 0xFFE0E0FFu);
  EXPECT_EQ(Design().pixel(40, 543), 0xFFFF0000u);
  EXPECT_EQ(Overview().pixel(35, 35), 0xFF0000FFu);
  EXPECT_EQ(Overview().pixel(70, 70), 0xFFFFFFFFu);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST_F(PathPageTest, OpenOffersToCloseOnlyAnOpenEndedTrack) {
  struct Case {
    bool Closed;
  } cases[] = {{true}, {false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Closed);
    const QString file = WriteTrack(QStringLiteral("t.kpf"), [&](TPath& t) {
      AppendLine(t, 1000, 0);
      QString e;
      t.AddArc(BuildArc(t.LastEndPoint(), 1000, 500, 180, 400, e));
      AppendLine(t, 0, 1000);
      if (c.Closed) t.AddLine(BuildCloseLine(t.LastEndPoint()));
    });
    Dialogs.AnswerFile(file);
    Click("btnOpenPath");
    ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
    EXPECT_FALSE(Dialogs.FileDialogs[0].Save);
    EXPECT_EQ(Dialogs.FileDialogs[0].Folder, Dir.Path(QStringLiteral("Path")));
    EXPECT_EQ(Dialogs.FileDialogs[0].Filter, QStringLiteral("赛道文件(*.kpf)"));
    Dialogs.FileDialogs.clear();

    EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 - t.kpf"));
    EXPECT_EQ(Enabled("btnPathClose"), !c.Closed);
    EXPECT_FALSE(Enabled("btnPathDelete"));
    EXPECT_TRUE(Main->State().DocOpen && !Main->State().DocModified && !Main->State().DocIsNew);
    ASSERT_EQ(List()->rowCount(), c.Closed ? 4 : 3);
    EXPECT_EQ(Row(0), (QStringList{"1", "直线", "(0, 0)", "(1000, 0)"}));
    EXPECT_EQ(Row(1), (QStringList{"2", "弧", "(1000, 0)", "(1000, 1000)"}));
    EXPECT_EQ(Row(2), (QStringList{"3", "直线", "(1000, 1000)", "(0, 1000)"}));
    if (c.Closed) {
      EXPECT_EQ(Row(3), (QStringList{"4", "直线", "(0, 1000)", "(0, 0)"}));
    }
    EXPECT_EQ(Pane(1), QStringLiteral("1.00x"));
    EXPECT_EQ(Track().DrawTransform->Offset.X, 0.0f);
    EXPECT_TRUE(Dialogs.Boxes.empty());
  }
}

// What the page shows after Open is what render-track draws.
TEST_F(PathPageTest, OpenedSampleTracksLookAsRenderTrackDrawsThem) {
  const QDir samples(test::BinDir() + QStringLiteral("/Path"));
  const QStringList files = samples.entryList({QStringLiteral("*.kpf")}, QDir::Files);
  ASSERT_GE(files.size(), 3);
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    const QString file = samples.filePath(name);
    Dialogs.AnswerFile(file);
    Click("btnOpenPath");
    ASSERT_TRUE(Main->State().DocOpen);
    for (const char* view : {"design", "overview"}) {
      const QString out = Dir.Path(QStringLiteral("%1.png").arg(QLatin1String(view)));
      const clitest::TCliResult r =
          clitest::RunCli({QStringLiteral("render-track"), file, out, QStringLiteral("--view"),
                           QLatin1String(view)});
      ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
      const QImage drawn = QImage(out).convertToFormat(QImage::Format_ARGB32);
      EXPECT_EQ(drawn, QLatin1String(view) == QLatin1String("design") ? Design() : Overview())
          << view;
    }
  }
}

TEST_F(PathPageTest, OpenOfABadFileReportsAndLeavesNoTrack) {
  const QString file = Dir.Path(QStringLiteral("Path/bad.kpf"));
  test::WriteFile(file, QByteArray("not a track"));
  NewTrackWithLine();
  Dialogs.AnswerBox(Btn::No);  // do not save the new track
  Dialogs.AnswerBox(Btn::Ok);
  Dialogs.AnswerFile(file);
  Click("btnOpenPath");
  ASSERT_EQ(Dialogs.Boxes.size(), 2u);
  EXPECT_EQ(Dialogs.Boxes[1].Text, QStringLiteral("赛道文件打开错误！"));
  EXPECT_EQ(Dialogs.Boxes[1].Title, QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Dialogs.Boxes[1].Icon, QMessageBox::Critical);
  EXPECT_FALSE(Main->State().CurTrack);
  EXPECT_FALSE(Main->State().DocOpen);
  EXPECT_FALSE(Enabled("btnClosePath"));
  EXPECT_FALSE(Enabled("btnSavePath"));
  EXPECT_EQ(List()->rowCount(), 0);
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 "));
  EXPECT_TRUE(Design().isNull());
}

TEST_F(PathPageTest, SaveWithoutChangesDoesNothing) {
  const QString file = WriteTrack(QStringLiteral("t.kpf"), [](TPath& t) { AppendLine(t, 800, 0); });
  Dialogs.AnswerFile(file);
  Click("btnOpenPath");
  test::WriteFile(file, QByteArray("replaced on disk"));
  Click("btnSavePath");
  EXPECT_EQ(test::ReadFile(file), QByteArray("replaced on disk"));
  EXPECT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_TRUE(Dialogs.Boxes.empty());
}

// New, three lines and two arcs, close the track, save, close, open again: the same
// picture and the same rows.
TEST_F(PathPageTest, SavedTrackOpensToTheSamePicture) {
  Click("btnNewPath");
  AddLine(1000, 0);
  AddArc(1000, 600, 90);
  AddLine(1600, 1600);
  AddArc(1000, 1600, 180);
  AddLine(400, 800);
  ASSERT_TRUE(Enabled("btnPathClose"));
  Click("btnPathClose");
  ASSERT_EQ(List()->rowCount(), 6);
  EXPECT_EQ(Row(5), (QStringList{"6", "直线", "(400, 800)", "(0, 0)"}));
  EXPECT_FALSE(Enabled("btnPathClose"));
  EXPECT_TRUE(Enabled("btnPathDelete"));
  EXPECT_TRUE(Dialogs.Boxes.empty());

  const QString file = Dir.Path(QStringLiteral("Path/loop.kpf"));
  Dialogs.AnswerFile(file);
  Click("btnSavePath");
  ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
  EXPECT_TRUE(Dialogs.FileDialogs[0].Save);
  EXPECT_EQ(Dialogs.FileDialogs[0].Folder, Dir.Path(QStringLiteral("Path")));
  EXPECT_EQ(Dialogs.FileDialogs[0].Proposed, Dir.Path(QStringLiteral("Path/新建赛道.kpf")));
  EXPECT_EQ(Dialogs.FileDialogs[0].Filter, QStringLiteral("赛道文件(*.kpf)"));
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 - loop.kpf"));
  EXPECT_FALSE(Enabled("btnSavePath"));
  EXPECT_FALSE(Main->State().DocModified || Main->State().DocIsNew);

  // The page after editing is re-centred and refitted as an opened track would be.
  Track().DrawTransform->SetOffset(TPointF{});
  Track().FitOverview();
  Track().DrawOverview(true);
  Track().DrawDesignView(true);
  const QImage design = Design(), overview = Overview();
  QStringList rows;
  for (int r = 0; r < 6; ++r) rows << Row(r);

  Click("btnClosePath");
  EXPECT_FALSE(Main->State().CurTrack);
  EXPECT_TRUE(Dialogs.Boxes.empty());
  Dialogs.AnswerFile(file);
  Click("btnOpenPath");
  EXPECT_EQ(Design(), design);
  EXPECT_EQ(Overview(), overview);
  QStringList reopened;
  for (int r = 0; r < List()->rowCount(); ++r) reopened << Row(r);
  EXPECT_EQ(reopened, rows);
}

TEST_F(PathPageTest, FailedSaveReportsTheFileAndKeepsTheTrackModified) {
  NewTrackWithLine();
  Dialogs.AnswerFile(Dir.Path(QStringLiteral("no such folder/x.kpf")));
  Dialogs.AnswerBox(Btn::Ok);
  Click("btnSavePath");
  ASSERT_EQ(Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Dialogs.Boxes[0].Text, QStringLiteral("x.kpf保存失败！\r\n文件夹不存在"));
  EXPECT_TRUE(Main->State().DocModified);
  EXPECT_TRUE(Enabled("btnSavePath"));
  EXPECT_TRUE(Main->windowTitle().endsWith(QStringLiteral(" *")));
}

// The unsaved-work guard of New, Open and Close.
TEST_F(PathPageTest, GuardAsksAboutUnsavedWork) {
  enum TAction { New, Open, Close };
  struct Case {
    TAction Action;
    std::vector<Btn> Answers;  // save question, then the continue question if any
    bool SaveFileChosen;       // the save dialog's answer
    bool Proceeds;
  } cases[] = {
      {Close, {Btn::Cancel}, false, false},
      {Close, {Btn::No}, false, true},
      {Close, {Btn::Yes, Btn::No}, false, false},  // cancelled save dialog: continue? No
      {Close, {Btn::Yes, Btn::Yes}, false, true},
      {Close, {Btn::Yes}, true, true},
      {New, {Btn::Yes, Btn::No}, false, false},
      {Open, {Btn::Yes, Btn::No}, false, false},
      {Open, {Btn::No}, false, true},
  };
  const struct {
    const char* Caption;
    const char* Question;
    const char* Button;
  } actions[] = {{"新建赛道", "是否继续创建新赛道？", "btnNewPath"},
                 {"打开赛道", "是否继续打开新赛道？", "btnOpenPath"},
                 {"关闭赛道", "继续关闭？", "btnClosePath"}};
  const QString other = WriteTrack(QStringLiteral("other.kpf"), [](TPath& t) {
    AppendLine(t, 0, 900);
    AppendLine(t, 700, 900);
  });
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n++);
    Main->State().MarkDocSaved();  // the previous case's track goes without a question
    Dialogs.Boxes.clear();
    Dialogs.FileDialogs.clear();
    NewTrackWithLine();
    const auto& a = actions[c.Action];
    if (c.Action == Open) Dialogs.AnswerFile(other);
    for (Btn b : c.Answers) Dialogs.AnswerBox(b);
    const QString saved = Dir.Path(QStringLiteral("Path/saved%1.kpf").arg(n));
    if (c.Answers.front() == Btn::Yes) Dialogs.AnswerFile(c.SaveFileChosen ? saved : QString());
    Click(a.Button);
    EXPECT_TRUE(Dialogs.AllAnswersUsed());

    ASSERT_EQ(Dialogs.Boxes.size(), c.Answers.size());
    EXPECT_EQ(Dialogs.Boxes[0].Text,
              QStringLiteral("新建赛道.kpf未保存。") + CRLF2 + QStringLiteral("是否保存？"));
    EXPECT_EQ(Dialogs.Boxes[0].Title, QString::fromUtf8(a.Caption));
    EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(Dialogs.Boxes[0].Buttons, Btn::Yes | Btn::No | Btn::Cancel);
    if (c.Answers.size() == 2) {
      EXPECT_EQ(Dialogs.Boxes[1].Text,
                QStringLiteral("新建赛道.kpf保存失败！") + CRLF2 + QString::fromUtf8(a.Question));
      EXPECT_EQ(Dialogs.Boxes[1].Title, QString::fromUtf8(a.Caption));
      EXPECT_EQ(Dialogs.Boxes[1].Buttons, Btn::Yes | Btn::No);
    }
    EXPECT_EQ(QFile::exists(saved), c.SaveFileChosen);
    if (!c.Proceeds) {
      ASSERT_TRUE(Main->State().CurTrack);
      EXPECT_EQ(List()->rowCount(), 1);
      EXPECT_TRUE(Main->State().DocModified);
    } else if (c.Action == Close) {
      EXPECT_FALSE(Main->State().CurTrack);
    } else {
      EXPECT_EQ(List()->rowCount(), 2);  // the other track
    }
  }
}

TEST_F(PathPageTest, DeleteFromTheSelectedRowAfterConfirmation) {
  Click("btnNewPath");
  for (auto [x, y] : {std::pair{1000, 0}, {1000, 800}, {0, 800}, {0, 1600}, {900, 1600}})
    AddLine(x, y);
  ASSERT_EQ(List()->rowCount(), 5);

  List()->selectRow(2);
  EXPECT_TRUE(Enabled("btnPathDelete"));
  Dialogs.AnswerBox(Btn::No);
  Click("btnPathDelete");
  EXPECT_EQ(List()->rowCount(), 5);

  Dialogs.AnswerBox(Btn::Yes);
  Click("btnPathDelete");
  ASSERT_EQ(Dialogs.Boxes.size(), 2u);
  for (const test::TShownBox& b : Dialogs.Boxes) {
    EXPECT_EQ(b.Text, QStringLiteral("确定删除NO.3及之后的赛道元素？"));
    EXPECT_EQ(b.Title, QStringLiteral("删除赛道元素"));
    EXPECT_EQ(b.Icon, QMessageBox::Question);
    EXPECT_EQ(b.Buttons, Btn::Yes | Btn::No);
  }
  ASSERT_EQ(List()->rowCount(), 2);
  EXPECT_EQ(Row(1), (QStringList{"2", "直线", "(1000, 0)", "(1000, 800)"}));
  EXPECT_EQ(Track().Elements.size(), 2u);
  EXPECT_FALSE(Enabled("btnPathDelete"));
  EXPECT_TRUE(Enabled("btnPathClose"));
  EXPECT_EQ(Page->CurrentEndPoint.X, 1000.0f);
  EXPECT_EQ(Page->CurrentEndPoint.Y, 800.0f);
  // The next line starts at the new end.
  AddLine(0, 0);
  EXPECT_EQ(Row(2), (QStringList{"3", "直线", "(1000, 800)", "(0, 0)"}));
  EXPECT_FALSE(Enabled("btnPathClose"));
}

TEST_F(PathPageTest, RejectedElementsShowTheRuleAndChangeNothing) {
  struct Case {
    bool Arc;
    double X, Y;
    int Sweep;
    const char* Message;
  } cases[] = {
      {false, 1000, 0, 0, "终止点与起始点重合！"},
      {true, 1000, 0, 0, "圆心与起始点重合！"},
      {true, 1000, 600, 0, "请输入弧扫过角度！"},
      {true, 1000, 399, 90, "赛道半径小于规则最小半径！"},
  };
  Click("btnNewPath");
  AddLine(1000, 0);
  Main->State().MarkDocSaved();  // to see that a rejection does not mark the track modified
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    Dialogs.Boxes.clear();
    Dialogs.AnswerBox(Btn::Ok);
    if (c.Arc)
      AddArc(c.X, c.Y, c.Sweep);
    else
      AddLine(c.X, c.Y);
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text, QString::fromUtf8(c.Message));
    EXPECT_EQ(Dialogs.Boxes[0].Title, QStringLiteral("Kurvino2 "));
    EXPECT_EQ(Dialogs.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Dialogs.Boxes[0].Buttons, QMessageBox::StandardButtons(Btn::Ok));
    EXPECT_EQ(List()->rowCount(), 1);
    EXPECT_EQ(Track().Elements.size(), 1u);
    EXPECT_FALSE(Main->State().DocModified);
    EXPECT_EQ(Page->CurrentEndPoint.X, 1000.0f);
    EXPECT_EQ(W<TNumEdit>(c.Arc ? "nedtArcX" : "nedtLineX")->Value(), c.X);
  }
  // Exactly the minimum radius is accepted.
  AddArc(1000, 400, 90);
  EXPECT_EQ(List()->rowCount(), 2);
}

TEST_F(PathPageTest, ZoomStepsAndDefault) {
  struct Case {
    const char* Step;
    const char* Other;
    const char* Panes[4];
  } cases[] = {{"btnZoomIn", "btnZoomOut", {"0.87x", "0.77x", "0.69x", "0.63x"}},
               {"btnZoomOut", "btnZoomIn", {"1.18x", "1.43x", "1.82x", "2.50x"}}};
  NewTrackWithLine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Step);
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(Enabled(c.Step)) << i;
      Click(c.Step);
      EXPECT_EQ(Pane(1), QString::fromLatin1(c.Panes[i]));
      EXPECT_TRUE(Enabled(c.Other));
    }
    EXPECT_FALSE(Enabled(c.Step));
    ExpectOverviewFresh();
    Click("btnZoomDefault");
    EXPECT_EQ(Pane(1), QStringLiteral("1.00x"));
    EXPECT_EQ(Track().DrawTransform->ZoomFactor, 1.0f);
    EXPECT_TRUE(Enabled(c.Step));
    EXPECT_TRUE(Enabled(c.Other));
    ExpectOverviewFresh();
  }
}

// Largest channel difference between a region of `after` and the same region of
// `before` moved by dx pixels.
int ShiftDifference(const QImage& before, const QImage& after, int dx, QRect region) {
  int worst = 0;
  for (int y = region.top(); y <= region.bottom(); ++y)
    for (int x = region.left(); x <= region.right(); ++x) {
      const QRgb a = after.pixel(x, y), b = before.pixel(x - dx, y);
      worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                        std::abs(qBlue(a) - qBlue(b))});
    }
  return worst;
}

TEST_F(PathPageTest, DraggingMovesThePictureWithTheMouse) {
  NewTrackWithLine();
  AddArc(1000, 1000, 180);
  const QImage before = Design();
  Mouse("imgPathDraw", QEvent::MouseButtonPress, {200, 300}, Qt::LeftButton);
  Mouse("imgPathDraw", QEvent::MouseMove, {210, 300}, Qt::LeftButton);
  Mouse("imgPathDraw", QEvent::MouseButtonRelease, {210, 300}, Qt::LeftButton);
  // The picture moved 10 px to the right; the axis glyph stays in its corner.
  EXPECT_LE(ShiftDifference(before, Design(), 10, QRect(10, 0, 548, 460)), 2);
  EXPECT_NE(Design(), before);
  EXPECT_EQ(Design().pixel(40, 543), 0xFFFF0000u);
  const TPointF w = Track().DrawTransform->ViewToWorld(TPoint{210, 300});
  EXPECT_EQ(Pane(0), QStringLiteral("(%1, %2)").arg(RoundHalfEven(w.X)).arg(RoundHalfEven(w.Y)));
  EXPECT_NEAR(Track().DrawTransform->Offset.X, 10 * 3000.0 / 558, 1e-3);
  ExpectOverviewFresh();

  // A move without a button held only updates the pane.
  const QImage after = Design();
  Mouse("imgPathDraw", QEvent::MouseMove, {100, 100}, Qt::NoButton);
  EXPECT_EQ(Design(), after);
  EXPECT_FALSE(Pane(0).isEmpty());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(W<TRasterView>("imgPathDraw"), &leave);
  EXPECT_TRUE(Pane(0).isEmpty());
}

TEST_F(PathPageTest, DraggingFarStopsAtTheEdgeOfTheOverview) {
  NewTrackWithLine();
  Mouse("imgPathDraw", QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
  for (int x = 150; x <= 5100; x += 50)
    Mouse("imgPathDraw", QEvent::MouseMove, {x, 120}, Qt::LeftButton);
  Mouse("imgPathDraw", QEvent::MouseButtonRelease, {5100, 120}, Qt::LeftButton);
  const TRectF d = Track().DrawTransform->VisibleRect;
  const TRectF v = Track().ViewTransform->VisibleRect;
  EXPECT_NEAR(d.Left, v.Left, 0.01);
  EXPECT_LE(d.Right, v.Right);
  ExpectOverviewFresh();
}

TEST_F(PathPageTest, OverviewClickCentresTheDesignViewWithinTheOverview) {
  struct Case {
    QPoint Click;
    TPointF Centre;
  } cases[] = {{{80, 70}, {10 * 6000.0f / 140, 0}},
               {{2, 2}, {-1500, 1500}},  // clamped into the overview's corner
               {{139, 139}, {1500, -1500}}};
  Click("btnNewPath");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Click.x());
    Mouse("imgPathView", QEvent::MouseButtonPress, c.Click, Qt::LeftButton);
    Mouse("imgPathView", QEvent::MouseButtonRelease, c.Click, Qt::LeftButton);
    EXPECT_NEAR(-Track().DrawTransform->Offset.X, c.Centre.X, 0.01);
    EXPECT_NEAR(-Track().DrawTransform->Offset.Y, c.Centre.Y, 0.01);
    ExpectOverviewFresh();
  }
}

TEST_F(PathPageTest, MouseDoesNothingWithoutATrack) {
  Mouse("imgPathView", QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
  Mouse("imgPathDraw", QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
  Mouse("imgPathDraw", QEvent::MouseMove, {20, 10}, Qt::LeftButton);
  EXPECT_FALSE(Page->PathDragging);
  EXPECT_TRUE(Pane(0).isEmpty());
}

TEST_F(PathPageTest, ParameterDialogChangesTheTrackOnlyWithOk) {
  Click("btnNewPath");
  Main->State().MarkDocSaved();
  Main->ShowCaption(false);
  const auto run = [&](bool ok) {
    Dialogs.AnswerDialogAs<TwdPathParam>([ok](TwdPathParam& d) {
      EXPECT_EQ(d.windowTitle(), QStringLiteral("赛道参数"));
      d.nedtPathWidth->SetValue(500);
      d.nedtMiu->SetValue(0.2);
      (ok ? d.btnOK : d.btnCancel)->click();
    });

    Click("btnPathParam");
  };
  run(false);
  EXPECT_EQ(Track().PathWidth, 300);
  EXPECT_FALSE(Main->State().DocModified);
  EXPECT_FALSE(Main->windowTitle().endsWith(QStringLiteral(" *")));

  run(true);
  EXPECT_EQ(Track().PathWidth, 500);
  EXPECT_EQ(Track().Miu, 0.2f);
  EXPECT_TRUE(Main->State().DocModified);
  EXPECT_TRUE(Enabled("btnSavePath"));
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 - 新建赛道.kpf *"));
  EXPECT_EQ(W<QLabel>("stxtPathParam")->text(),
            QStringLiteral("道宽：500mm\n线宽：30mm\n摩擦系数：0.200"));
}

TEST_F(PathPageTest, CloseEmptiesThePage) {
  NewTrackWithLine();
  Dialogs.AnswerBox(Btn::No);
  Click("btnClosePath");
  EXPECT_FALSE(Main->State().CurTrack);
  EXPECT_EQ(Main->windowTitle(), QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Main->State().CaptionBase, QStringLiteral("Kurvino2 "));
  EXPECT_TRUE(Pane(1).isEmpty());
  EXPECT_TRUE(W<QLabel>("stxtPathParam")->text().isEmpty());
  EXPECT_EQ(W<TNumEdit>("nedtLineX")->Value(), 0);
  EXPECT_EQ(W<TNumEdit>("nedtLineX")->text(), QStringLiteral("0"));
  EXPECT_FALSE(Main->State().DocOpen || Main->State().DocModified || Main->State().DocIsNew);
  EXPECT_FALSE(Enabled("btnClosePath") || Enabled("btnSavePath") || Enabled("btnLine"));
  EXPECT_FALSE(W<TRasterView>("imgPathDraw")->testAttribute(Qt::WA_SetCursor));
  EXPECT_TRUE(Design().isNull() && Overview().isNull());

  // A new track afterwards gets its controls back.
  Click("btnNewPath");
  EXPECT_TRUE(Enabled("btnLine") && Enabled("btnZoomIn") && Enabled("btnClosePath"));
}

}  // namespace
}  // namespace k2
