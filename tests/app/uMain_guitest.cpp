#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>

#include "app/uAbout.h"
#include "ui/uFuncProc.h"
#include "app/uMain.h"
#include "app/uManual.h"
#include "app/uOption.h"
#include "base/uSettings.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

const char* const ButtonNames[4] = {"tlbtnPathDesign", "tlbtnCarDesign", "tlbtnSimu",
                                    "tlbtnReplay"};

class MainTest : public ::testing::Test {
 protected:
  QString Ini() const { return Dir.Path(QStringLiteral("Kurvino2.ini")); }
  test::TTempDir Dir;
  test::TScriptedDialogs Boxes;
};

struct TStartCase {
  const char* Name;
  const char* File;  // null: no settings file
  int32_t MaxSensorCount;
  int32_t MinPathR;
};
void PrintTo(const TStartCase& c, std::ostream* os) { *os << c.Name; }

class MainStartTest : public MainTest, public ::testing::WithParamInterface<TStartCase> {};

TEST_P(MainStartTest, StartsOnTheTrackPageWithTheRulesRead) {
  if (GetParam().File) Dir.WriteSettings(QString::fromLatin1(GetParam().File));
  TwdMain main;
  EXPECT_EQ(main.State().MaxSensorCount, GetParam().MaxSensorCount);
  EXPECT_EQ(main.State().MinPathR, GetParam().MinPathR);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Kurvino2 "));
  EXPECT_EQ(main.State().CaptionBase, QStringLiteral("Kurvino2 "));
  EXPECT_FALSE(main.State().DocIsNew || main.State().DocModified || main.State().DocOpen);
  EXPECT_FALSE(main.State().CurTrack || main.State().CurCar || main.State().CurSimu ||
               main.State().CurReplay);
  EXPECT_EQ(main.CurrentPage(), 0);
  EXPECT_EQ(main.pcMain->currentWidget()->objectName(), QStringLiteral("tabsPathDesign"));
  const test::TPageDriver ui(&main);
  for (int i = 0; i < 4; ++i) {
    auto* b = ui.W<QToolButton>(ButtonNames[i]);
    ASSERT_TRUE(b) << ButtonNames[i];
    EXPECT_EQ(b->isChecked(), i == 0) << ButtonNames[i];
  }
  EXPECT_FALSE(main.RunClock().tmrRun->isActive());
  EXPECT_EQ(main.RunClock().tmrRun->interval(), 10);
  EXPECT_TRUE(Boxes.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainStartTest,
    ::testing::Values(TStartCase{"NoSettingsFile", nullptr, 16, 400},
                      TStartCase{"BothRules", "[Rules]\nMaxSensorCount=8\nMinPathR=250\n", 8, 250},
                      TStartCase{"CountNotANumber", "[Rules]\nMaxSensorCount=abc\nMinPathR=300\n",
                                 16, 300},
                      TStartCase{"RadiusNotANumber", "[Rules]\nMinPathR=abc\n", 16, 400}),
    test::TCaseName());

TEST_F(MainTest, WindowHasItsFixedLayout) {
  TwdMain main;
  EXPECT_EQ(main.minimumSize(), main.maximumSize());
  EXPECT_EQ(main.width(), 944);
  EXPECT_EQ(main.height() - main.menuBar()->sizeHint().height(), 664);
  EXPECT_FALSE(main.windowFlags() & Qt::WindowMaximizeButtonHint);
  const test::TPageDriver ui(&main);
  auto* bar = ui.W<QToolBar>("mainToolbar");
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->height(), 44);
  EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  EXPECT_EQ(main.statusBar()->objectName(), QStringLiteral("statusDisp"));
  EXPECT_EQ(main.statusBar()->height(), 19);

  const char* const captions[4] = {"赛道设计", "赛车设计", "仿真模拟", "结果回放"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(main.ToolButton(i)->text(), QString::fromUtf8(captions[i]));
  const char* const pages[4] = {"tabsPathDesign", "tabsCarDesign", "tabsSimu", "tabsReplay"};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(main.pcMain->widget(i)->objectName(), QString::fromLatin1(pages[i]));

  const struct {
    const char* Name;
    const char* Text;
  } actions[] = {{"actExit", "退出 (&E)"},
                 {"actSetOption", "选项 (&O)"},
                 {"actHelp", "帮助"},
                 {"actAbout", "关于 (&A)"}};
  for (const auto& a : actions) {
    auto* act = ui.W<QAction>(a.Name);
    ASSERT_TRUE(act) << a.Name;
    EXPECT_EQ(act->text(), QString::fromUtf8(a.Text));
  }
  QStringList menus;
  for (QAction* m : main.menuBar()->actions()) menus << m->text();
  EXPECT_EQ(menus, (QStringList{QStringLiteral("文件 (&F)"), QStringLiteral("工具 (&T)"),
                                QStringLiteral("帮助(&H)")}));

  for (const char* pane : {"pane1", "pane2", "pb1", "rzclcksts1"})
    EXPECT_TRUE(main.statusBar()->findChild<QWidget*>(QString::fromLatin1(pane))) << pane;
  EXPECT_EQ(main.StatusPane(TStatusPane::Zoom)->width(), 50);
  EXPECT_EQ(main.statusBar()->findChild<QProgressBar*>()->width(), 150);
  EXPECT_EQ(main.StatusPane(TStatusPane::Clock)->width(), 130);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                  .match(main.StatusPane(TStatusPane::Clock)->text())
                  .hasMatch());
}

TEST_F(MainTest, ToolbarShowsTheChosenPage) {
  TwdMain main;
  for (int i : {2, 1, 3, 0}) {
    main.ToolButton(i)->click();
    EXPECT_EQ(main.CurrentPage(), i);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(main.ToolButton(j)->isChecked(), i == j);
  }
}

TEST_F(MainTest, MarkOperationsSetTheDocumentFlags) {
  TwdMain main;
  const struct {
    void (TSharedState::*Op)();
    bool Start;  // all three flags before
    bool IsNew, Modified, Open;
  } cases[] = {
      {&TSharedState::MarkDocClosed, true, false, false, false},
      {&TSharedState::MarkDocModified, false, false, true, false},
      {&TSharedState::MarkDocNew, false, true, true, true},
      {&TSharedState::MarkDocOpened, true, false, false, true},
      {&TSharedState::MarkDocSaved, true, false, false, true},
      {&TSharedState::MarkDocSaved, false, false, false, false},
  };
  for (const auto& c : cases) {
    main.State().DocIsNew = main.State().DocModified = main.State().DocOpen = c.Start;
    (main.State().*c.Op)();
    EXPECT_EQ(main.State().DocIsNew, c.IsNew);
    EXPECT_EQ(main.State().DocModified, c.Modified);
    EXPECT_EQ(main.State().DocOpen, c.Open);
  }
  main.State().CaptionBase = QStringLiteral("Kurvino2 - a.kpf");
  main.ShowCaption(true);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Kurvino2 - a.kpf *"));
  main.ShowCaption(false);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Kurvino2 - a.kpf"));
}

TEST_F(MainTest, MissingHelpIsReported) {
  TwdMain main;
  Boxes.AnswerBox(QMessageBox::Ok);
  test::TPageDriver(&main).W<QAction>("actHelp")->trigger();
  ASSERT_EQ(Boxes.Boxes.size(), 1u);
  EXPECT_EQ(Boxes.Boxes[0].Text, QStringLiteral("帮助文档不存在！"));
  EXPECT_EQ(Boxes.Boxes[0].Title, QStringLiteral("Kurvino2 "));
  EXPECT_EQ(Boxes.Boxes[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Boxes.Boxes[0].Buttons, QMessageBox::Ok);
  EXPECT_TRUE(Boxes.OpenedDocuments.empty());
}

TEST_F(MainTest, HelpOpensTheDocumentOfTheProgramFolder) {
  const QString pdf = Dir.Path(QStringLiteral("帮助文档.pdf"));
  test::WriteFile(pdf, QByteArray("%PDF-1.4\n"));
  TwdMain main;
  main.actHelpExecute();
  EXPECT_TRUE(Boxes.Boxes.empty());
  EXPECT_EQ(Boxes.OpenedDocuments, std::vector<QString>{pdf});
}

// Without a viewer the manual opens in a window of the program, with its contents.
TEST_F(MainTest, HelpWithoutAViewerShowsTheManualInAWindowOfItsOwn) {
  test::WriteFile(Dir.Path(QStringLiteral("帮助文档.pdf")), QByteArray("%PDF-1.4\n"));
  QDir().mkpath(Dir.Path(QStringLiteral("manual")));
  test::WriteFile(
      Dir.Path(QStringLiteral("manual/index.html")),
      "<html><body><h1 id=\"intro\">入门</h1><p>x</p><h2 id=\"intro-pages\">四个页面</h2>"
      "<p>y</p><h1 id=\"cli\">命令行工具</h1><p>z</p></body></html>");
  Boxes.OpenDocumentSucceeds = false;
  TwdMain main;
  main.actHelpExecute();
  EXPECT_TRUE(Boxes.Boxes.empty());
  auto* manual = main.findChild<TwdManual*>(QStringLiteral("wdManual"));
  ASSERT_TRUE(manual);
  EXPECT_TRUE(manual->isVisible());
  EXPECT_TRUE(manual->tbManual->toPlainText().contains(QStringLiteral("四个页面")));
  QTreeWidget* toc = manual->tvManualContents;
  ASSERT_EQ(toc->topLevelItemCount(), 2);
  EXPECT_EQ(toc->topLevelItem(0)->text(0), QStringLiteral("入门"));
  ASSERT_EQ(toc->topLevelItem(0)->childCount(), 1);
  EXPECT_EQ(toc->topLevelItem(0)->child(0)->data(0, Qt::UserRole).toString(),
            QStringLiteral("intro-pages"));
  EXPECT_EQ(toc->topLevelItem(1)->data(0, Qt::UserRole).toString(), QStringLiteral("cli"));

  // Without the HTML manual either, the missing manual is reported.
  QFile::remove(Dir.Path(QStringLiteral("manual/index.html")));
  manual->close();
  Boxes.AnswerBox(QMessageBox::Ok);
  main.actHelpExecute();
  ASSERT_EQ(Boxes.Boxes.size(), 1u);
  EXPECT_EQ(Boxes.Boxes[0].Text, QStringLiteral("帮助文档不存在！"));
}

TEST_F(MainTest, AboutBoxShowsItsThreeTexts) {
  TwdMain main;
  bool shown = false;
  Boxes.AnswerDialog([&shown](QDialog& d) {
    QWidget* w = &d;
    auto* about = qobject_cast<TwdAboutBox*>(w);
    ASSERT_TRUE(about);
    shown = true;
    EXPECT_EQ(about->windowTitle(), QStringLiteral("关于"));
    EXPECT_EQ(about->size(), QSize(294, 224));
    EXPECT_EQ(about->ProductName->text(), QStringLiteral("Kurvino2 "));
    EXPECT_EQ(about->Version->text(), QStringLiteral("Version 2.0.0"));
    EXPECT_EQ(about->Build->text(), QStringLiteral("Build 20070324"));
    QPushButton* ok = about->findChild<QPushButton*>();
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    EXPECT_TRUE(ok->isDefault());
    ok->click();
  });
  main.actAboutExecute();
  EXPECT_TRUE(shown);
  EXPECT_FALSE(main.findChild<TwdAboutBox*>());  // discarded when closed
}

TEST_F(MainTest, RulesAreReadAgainAfterApplyThenCancel) {
  TwdMain main;
  Boxes.AnswerDialog([](QDialog& d) {
    QWidget* w = &d;
    ASSERT_TRUE(qobject_cast<TwdOption*>(w));
    const test::TPageDriver options(w);
    auto* count = options.W<QLineEdit>("nedtRulesSensorCount");
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("8"));
    options.Click("btnApply");
    options.Click("btnCancel");
  });
  test::TPageDriver(&main).W<QAction>("actSetOption")->trigger();
  EXPECT_EQ(main.State().MaxSensorCount, 8);
  EXPECT_EQ(main.State().MinPathR, 400);
}

TEST_F(MainTest, RulesAreReadAgainWhateverClosesTheOptions) {
  TwdMain main;
  Boxes.AnswerDialog([this](QDialog& d) {
    QWidget* w = &d;
    // Another writer changes the file while the dialog is open; Cancel writes nothing.
    Dir.WriteSettings(QStringLiteral("[Rules]\nMinPathR=250\n"));
    test::TPageDriver(w).Click("btnCancel");
  });
  main.actSetOptionExecute();
  EXPECT_EQ(main.State().MinPathR, 250);
  EXPECT_EQ(test::ReadFile(Ini()), QByteArray("[Rules]\nMinPathR=250\n"));
  EXPECT_FALSE(main.findChild<TwdOption*>());
}

TEST_F(MainTest, ExitClosesTheWindow) {
  TwdMain main;
  main.show();
  test::TPageDriver(&main).W<QAction>("actExit")->trigger();
  EXPECT_FALSE(main.isVisible());
}

TEST(QtTranslations, StandardButtonsReadChinese) {
  ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("是(&Y)"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

}  // namespace
}  // namespace k2
