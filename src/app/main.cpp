// The Kurvino2 program: the main window on Qt's event loop.
#include <QApplication>

#include "ui/uFuncProc.h"
#include "app/uIcons.h"
#include "app/uMain.h"
#include "base/uSettings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kurvino2"));
  // The desktop links the windows to kurvino2.desktop (and its icon) by this name.
  QApplication::setDesktopFileName(QStringLiteral("kurvino2"));
  QApplication::setWindowIcon(k2::AppIcon());
  k2::InstallQtTranslations(app);
  k2::InitProgramDirFromApplication();
  k2::TwdMain window;
  window.show();
  return app.exec();
}
