// The Kurvino2 program: the main window on Qt's event loop.
#include <QApplication>

#include "ui/uFuncProc.h"
#include "app/uMain.h"
#include "base/uSettings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kurvino2"));
  k2::InstallQtTranslations(app);
  k2::InitProgramDirFromApplication();
  k2::TwdMain window;
  window.show();
  return app.exec();
}
