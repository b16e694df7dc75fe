#pragma once
// A dialog service for GUI tests: it records every message box and file dialog and
// answers from a script.  An unscripted request fails the test and is answered with
// Cancel (or No, or an empty file name).
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

#include "ui/uFuncProc.h"

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
  // The next modal dialog is shown (without an event loop) and handed to `work`, which
  // fills it and presses its buttons; the dialog's result is then the answer.
  using TDialogWork = std::function<void(QDialog&)>;
  void AnswerDialog(TDialogWork work) { DialogAnswers.push_back(std::move(work)); }
  // Typed: `work` gets the dialog as D; a dialog of another class fails the test.
  template <class D>
  void AnswerDialogAs(std::function<void(D&)> work) {
    AnswerDialog([work](QDialog& d) {
      D* typed = qobject_cast<D*>(&d);
      if (!typed) {
        ADD_FAILURE_AT(__FILE__, __LINE__) << "unexpected dialog " << d.metaObject()->className();
        return;
      }
      work(*typed);
    });
  }

  std::vector<TShownBox> Boxes;
  std::vector<TShownFileDialog> FileDialogs;
  std::vector<QString> OpenedDocuments;
  bool OpenDocumentSucceeds = true;   // false: as on a machine without a viewer
  std::vector<QString> DialogTitles;  // of every modal dialog run, in order

  QMessageBox::StandardButton ShowMessage(QWidget* owner, const QString& text, const QString& title,
                                          QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons) override;
  QString OpenFileName(QWidget* owner, const QString& folder, const QString& filter) override;
  QString SaveFileName(QWidget* owner, const QString& folder, const QString& proposed,
                       const QString& filter) override;
  bool OpenDocument(const QString& path) override;
  int ExecDialog(QDialog& dialog) override;

  // True when every scripted answer has been used.
  bool AllAnswersUsed() const {
    return BoxAnswers.empty() && FileAnswers.empty() && DialogAnswers.empty();
  }

 private:
  QString NextFile();
  std::deque<QMessageBox::StandardButton> BoxAnswers;
  std::deque<QString> FileAnswers;
  std::deque<TDialogWork> DialogAnswers;
};

}  // namespace k2::test
