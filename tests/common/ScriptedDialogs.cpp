#include "common/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace k2::test {

TScriptedDialogs::TScriptedDialogs() { SetDialogService(this); }
TScriptedDialogs::~TScriptedDialogs() { SetDialogService(nullptr); }

QMessageBox::StandardButton TScriptedDialogs::ShowMessage(QWidget*, const QString& text,
                                                          const QString& title,
                                                          QMessageBox::Icon icon,
                                                          QMessageBox::StandardButtons buttons) {
  Boxes.push_back({text, title, icon, buttons});
  if (BoxAnswers.empty()) {
    ADD_FAILURE() << "unscripted message box: " << text.toStdString();
    return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
           : buttons.testFlag(QMessageBox::No)   ? QMessageBox::No
                                                 : QMessageBox::Ok;
  }
  const QMessageBox::StandardButton b = BoxAnswers.front();
  BoxAnswers.pop_front();
  EXPECT_TRUE(buttons.testFlag(b))
      << "scripted answer is not one of the box's buttons: " << text.toStdString();
  return b;
}

QString TScriptedDialogs::NextFile() {
  if (FileAnswers.empty()) {
    ADD_FAILURE() << "unscripted file dialog";
    return QString();
  }
  const QString f = FileAnswers.front();
  FileAnswers.pop_front();
  return f;
}

QString TScriptedDialogs::OpenFileName(QWidget*, const QString& folder, const QString& filter) {
  FileDialogs.push_back({false, folder, QString(), filter});
  return NextFile();
}

QString TScriptedDialogs::SaveFileName(QWidget*, const QString& folder, const QString& proposed,
                                       const QString& filter) {
  FileDialogs.push_back({true, folder, proposed, filter});
  return NextFile();
}

bool TScriptedDialogs::OpenDocument(const QString& path) {
  OpenedDocuments.push_back(path);
  return OpenDocumentSucceeds;
}

int TScriptedDialogs::ExecDialog(QDialog& dialog) {
  DialogTitles.push_back(dialog.windowTitle());
  dialog.setResult(QDialog::Rejected);
  if (DialogAnswers.empty()) {
    ADD_FAILURE() << "unscripted dialog: " << dialog.windowTitle().toStdString();
    return QDialog::Rejected;
  }
  const TDialogWork work = std::move(DialogAnswers.front());
  DialogAnswers.pop_front();
  // Shown as exec() would show it, but without an event loop of its own.
  dialog.show();
  work(dialog);
  dialog.hide();
  return dialog.result();
}

}  // namespace k2::test
