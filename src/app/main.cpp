// The Kurvino2 program: the main window on Qt's event loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/uMain.h"
#include "app/uSettings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kurvino2"));
  // Qt's own texts (standard buttons, file dialogs) in Chinese.
  QTranslator qtTranslator;
  if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTranslator);
  k2::InitProgramDirFromApplication();
  k2::TwdMain window;
  window.show();
  return app.exec();
}
