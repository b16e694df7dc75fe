#include "ui/uFuncProc.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QTranslator>
#include <QUrl>

namespace k2 {

namespace {

// "赛道文件(*.kpf)" -> "kpf"; empty when the filter names no single extension.
QString FilterSuffix(const QString& filter) {
  const int star = filter.indexOf(QStringLiteral("*."));
  if (star < 0) return QString();
  QString suffix;
  for (int i = star + 2; i < filter.size() && filter[i].isLetterOrNumber(); ++i)
    suffix += filter[i];
  return suffix;
}

class TQtDialogs : public IDialogService {
 public:
  QMessageBox::StandardButton ShowMessage(QWidget* owner, const QString& text, const QString& title,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons) override {
    QMessageBox box(icon, title, text, buttons, owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
  QString OpenFileName(QWidget* owner, const QString& folder, const QString& filter) override {
    QFileDialog dialog(owner, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  }
  QString SaveFileName(QWidget* owner, const QString& folder, const QString& proposed,
                       const QString& filter) override {
    QString start = proposed;
    if (!folder.isEmpty() && !proposed.contains(QLatin1Char('/')))
      start = folder + QLatin1Char('/') + proposed;
    if (start.isEmpty()) start = folder;
    QFileDialog dialog(owner, QString(), start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the filter's ("*.kpf" -> ".kpf").
    dialog.setDefaultSuffix(FilterSuffix(filter));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  }
  bool OpenDocument(const QString& path) override {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  }
  int ExecDialog(QDialog& dialog) override { return dialog.exec(); }
};

TQtDialogs& QtDialogs() {
  static TQtDialogs d;
  return d;
}

IDialogService* Installed = nullptr;

}  // namespace

IDialogService& Dialogs() { return Installed ? *Installed : QtDialogs(); }
void SetDialogService(IDialogService* service) { Installed = service; }

QString QtFilter(const QString& filter) {
  const int bar = filter.indexOf(QLatin1Char('|'));
  return bar < 0 ? filter : filter.left(bar);
}

bool InstallQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

void ErrorBox(QWidget* owner, const QString& text) {
  Dialogs().ShowMessage(owner, text, QString::fromUtf8(AppCaption), QMessageBox::Critical,
                        QMessageBox::Ok);
}

void NoticeBox(QWidget* owner, const QString& text) {
  Dialogs().ShowMessage(owner, text, QString::fromUtf8(AppCaption), QMessageBox::Information,
                        QMessageBox::Ok);
}

QMessageBox::StandardButton AskBox(QWidget* owner, const QString& text, const QString& title,
                                   bool withCancel) {
  QMessageBox::StandardButtons b = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) b |= QMessageBox::Cancel;
  return Dialogs().ShowMessage(owner, text, title, QMessageBox::Warning, b);
}

QMessageBox::StandardButton ConfirmBox(QWidget* owner, const QString& text, const QString& title) {
  return Dialogs().ShowMessage(owner, text, title, QMessageBox::Question,
                               QMessageBox::Yes | QMessageBox::No);
}

bool AskToSave(QWidget* owner, const QString& name, const QString& caption, const QString& question,
               const std::function<TSaveResult()>& save, bool cancelStops) {
  const QString crlf = QString::fromLatin1(CRLF);
  const auto answer =
      AskBox(owner, name + QStringLiteral("未保存。") + crlf + QStringLiteral("是否保存？"),
             caption, true);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  const TSaveResult saved = save();
  if (saved == TSaveResult::Saved) return true;
  if (saved == TSaveResult::Cancelled && cancelStops) return false;
  return AskBox(owner, name + QStringLiteral("保存失败！") + crlf + question, caption, false) ==
         QMessageBox::Yes;
}

}  // namespace k2
