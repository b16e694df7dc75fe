#pragma once
// A dialog service for GUI tests: it records every message box and file dialog and
// answers from a script.  An unscripted request fails the test and is answered with
// Cancel (or No, or an empty file name).
#include <QMessageBox>
#include <QString>
#include <deque>
#include <vector>

#include "app/uFuncProc.h"

namespace k2::test {

struct TShownBox {
  QString Text;
  QString Title;
  QMessageBox::Icon Icon;
  QMessageBox::StandardButtons Buttons;
};

struct TShownFileDialog {
  bool Save;
  QString Folder;
  QString Proposed;
  QString Filter;
};

class TScriptedDialogs : public IDialogService {
 public:
  // Installs itself; the destructor uninstalls it.
  TScriptedDialogs();
  ~TScriptedDialogs() override;

  // Answers, consumed in order.
  void AnswerBox(QMessageBox::StandardButton b) { BoxAnswers.push_back(b); }
  void AnswerFile(const QString& path) { FileAnswers.push_back(path); }  // "" = cancel

  std::vector<TShownBox> Boxes;
  std::vector<TShownFileDialog> FileDialogs;
  std::vector<QString> OpenedDocuments;

  QMessageBox::StandardButton ShowMessage(QWidget* owner, const QString& text, const QString& title,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons) override;
  QString OpenFileName(QWidget* owner, const QString& folder, const QString& filter) override;
  QString SaveFileName(QWidget* owner, const QString& folder, const QString& proposed,
                       const QString& filter) override;
  bool OpenDocument(const QString& path) override;

  // True when every scripted answer has been used.
  bool AllAnswersUsed() const { return BoxAnswers.empty() && FileAnswers.empty(); }

 private:
  QString NextFile();
  std::deque<QMessageBox::StandardButton> BoxAnswers;
  std::deque<QString> FileAnswers;
};

}  // namespace k2::test
