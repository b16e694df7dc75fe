// The Kurvino2 program: the main window on Qt's event loop.
#include <QApplication>
#include <QLocale>

#include "ui/uFuncProc.h"
#include "app/uIcons.h"
#include "app/uMain.h"
#include "base/uSettings.h"

int main(int argc, char** argv) {
  // Qt's own widgets (the file dialog's sizes and dates, which follow the system
  // locale) format in Chinese, like the rest of the program, whatever the desktop's
  // language; our numbers are written in the C locale explicitly.
  qputenv("LC_ALL", "zh_CN.UTF-8");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kurvino2"));
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  // The desktop links the windows to kurvino2.desktop (and its icon) by this name.
  QApplication::setDesktopFileName(QStringLiteral("kurvino2"));
  QApplication::setWindowIcon(k2::AppIcon());
  k2::InstallQtTranslations(app);
  k2::InitProgramDirFromApplication();
  k2::TwdMain window;
  window.show();
  return app.exec();
}
