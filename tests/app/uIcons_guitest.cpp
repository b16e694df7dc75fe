// The program's own icons: every toolbar button and menu item shows the picture drawn
// for it in data/icons (through the resources and Qt's SVG icon engine), and the about
// box shows the application icon at 48 pixels.
#include <QAction>
#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/uAbout.h"
#include "app/uIcons.h"
#include "app/uMain.h"
#include "common/PageDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestSupport.h"

namespace k2 {
namespace {

QImage Picture(const QIcon& icon, int size) {
  return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// An empty picture: what a missing resource or a missing SVG plugin gives.
bool Blank(const QImage& image) {
  if (image.isNull()) return true;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) != 0) return false;
  return true;
}

struct TIconCase {
  const char* Name;  // the control's objectName
  const char* Icon;  // data/icons/<Icon>.svg
  bool ToolButton;   // a toolbar button, else a menu item
};
void PrintTo(const TIconCase& c, std::ostream* os) { *os << c.Name; }

const TIconCase IconCases[] = {
    {"tlbtnPathDesign", "page-track", true},
    {"tlbtnCarDesign", "page-car", true},
    {"tlbtnSimu", "page-simulation", true},
    {"tlbtnReplay", "page-replay", true},
    {"actExit", "exit", false},
    {"actSetOption", "options", false},
    {"actJudgeOutput", "judge-output", false},
    {"actHelp", "help", false},
    {"actAbout", "about", false},
};

class IconTest : public ::testing::TestWithParam<TIconCase> {
 protected:
  test::TTempDir Dir;
  test::TScriptedDialogs Boxes;
};

TEST_P(IconTest, ControlShowsItsOwnPicture) {
  TwdMain main;
  const test::TPageDriver ui(&main);
  QIcon icon;
  if (GetParam().ToolButton) {
    auto* b = ui.W<QToolButton>(GetParam().Name);
    ASSERT_TRUE(b);
    icon = b->icon();
  } else {
    auto* a = ui.W<QAction>(GetParam().Name);
    ASSERT_TRUE(a);
    icon = a->icon();
  }
  // The toolbar and the menus draw their icons at 16 pixels; desktops with larger
  // fonts ask for more.
  for (const int size : {16, 32}) {
    const QImage shown = Picture(icon, size);
    ASSERT_FALSE(Blank(shown)) << size;
    EXPECT_EQ(shown.size(), QSize(size, size));
    EXPECT_EQ(shown, Picture(OwnIcon(GetParam().Icon), size)) << size;
  }
  // No two controls share a picture.
  for (const TIconCase& other : IconCases) {
    if (qstrcmp(other.Icon, GetParam().Icon) != 0) {
      EXPECT_NE(Picture(icon, 16), Picture(OwnIcon(other.Icon), 16)) << other.Icon;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Controls, IconTest, ::testing::ValuesIn(IconCases), test::TCaseName());

class AboutIconTest : public ::testing::Test {
 protected:
  test::TTempDir Dir;
  test::TScriptedDialogs Boxes;
};

TEST_F(AboutIconTest, AboutBoxShowsTheApplicationIconAt48Pixels) {
  TwdMain main;
  QImage shown;
  Boxes.AnswerDialog([&shown](QDialog& d) {
    auto* about = qobject_cast<TwdAboutBox*>(static_cast<QWidget*>(&d));
    ASSERT_TRUE(about);
    ASSERT_TRUE(about->ProgramIcon);
    shown = about->ProgramIcon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    d.accept();
  });
  main.actAboutExecute();
  ASSERT_FALSE(Blank(shown));
  EXPECT_EQ(shown.size(), QSize(48, 48));
  EXPECT_EQ(shown, Picture(AppIcon(), 48));
  EXPECT_NE(shown, Picture(OwnIcon("about"), 48));
}

}  // namespace
}  // namespace k2
