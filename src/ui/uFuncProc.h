#pragma once
// Message boxes, file dialogs and modal dialogs of the whole program.
//
// Every prompt, error message, file dialog and modal dialog goes through the
// IDialogService that is installed, so that GUI tests can script the answers and check
// texts, titles, icons and buttons, and fill a dialog's fields without an event loop.  The default
// service shows Qt's real dialogs.  The installed service is not owned; whoever installs one
// removes it (SetDialogService(nullptr)) before destroying it.
#include <QMessageBox>
#include <QString>
#include <functional>

class QCoreApplication;
class QDialog;
class QWidget;

namespace k2 {

class IDialogService {
 public:
  virtual ~IDialogService() = default;
  // A modal message box; returns the button pressed.
  virtual QMessageBox::StandardButton ShowMessage(QWidget* owner, const QString& text,
                                                  const QString& title, QMessageBox::Icon icon,
                                                  QMessageBox::StandardButtons buttons) = 0;
  // File dialogs.  `filter` is in Qt's form ("赛道文件(*.kpf)").  An empty result
  // means cancelled.  The save dialog asks before replacing an existing file; the
  // open dialog accepts only existing files.
  virtual QString OpenFileName(QWidget* owner, const QString& folder, const QString& filter) = 0;
  virtual QString SaveFileName(QWidget* owner, const QString& folder, const QString& proposed,
                               const QString& filter) = 0;
  // Hands a document to the desktop's viewer; false when that failed.
  virtual bool OpenDocument(const QString& path) = 0;
  // Runs a modal dialog of the program (the caller creates it and reads it afterwards);
  // returns QDialog::Accepted or QDialog::Rejected.
  virtual int ExecDialog(QDialog& dialog) = 0;
};

IDialogService& Dialogs();
void SetDialogService(IDialogService* service);

// "赛道文件(*.kpf)|*.kpf" -> "赛道文件(*.kpf)": the filters are written in the first
// form throughout and turned into Qt's form here.
QString QtFilter(const QString& filter);

// The message boxes of the program.  ErrorBox: title "Kurvino2 ", error icon, OK.
// NoticeBox: the same with the information icon.  AskBox: exclamation, Yes/No/Cancel
// or Yes/No.  ConfirmBox: question, Yes/No.
void ErrorBox(QWidget* owner, const QString& text);
void NoticeBox(QWidget* owner, const QString& text);

QMessageBox::StandardButton AskBox(QWidget* owner, const QString& text, const QString& title,
                                   bool withCancel);
QMessageBox::StandardButton ConfirmBox(QWidget* owner, const QString& text, const QString& title);

// Installs Qt's own Chinese texts (standard buttons, file dialogs) from the Qt
// translations folder; the translator belongs to `app`.  False when they are missing.
bool InstallQtTranslations(QCoreApplication& app);

// How a save made for a prompt ended.
enum class TSaveResult {
  Saved,
  Failed,
  Cancelled,  // the user cancelled the file name dialog
};

// The unsaved-work prompt.  Asks whether to save the document `name` (file name without
// folder): Cancel stops (false), No goes on (true), Yes calls `save`.  A failed save
// asks `question` after "保存失败！", and Yes goes on.  A cancelled file dialog stops
// when `cancelStops`, and otherwise counts as a failed save.
bool AskToSave(QWidget* owner, const QString& name, const QString& caption, const QString& question,
               const std::function<TSaveResult()>& save, bool cancelStops = false);

// Line break inside message texts.
inline const char* const CRLF = "\r\n";

// The caption of the main window and of every error box.
inline const char* const AppCaption = "Kurvino2 ";

}  // namespace k2
