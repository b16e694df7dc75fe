#pragma once
// The options dialog: every key of the settings file on three pages.
//
// The dialog reads the main settings file when it is created and writes it on Apply
// and OK; Cancel writes nothing.  "应用" is enabled exactly when a field was edited
// since the dialog opened or since the last successful Apply.
#include <QDialog>
#include <QString>
#include <array>

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace k2 {

class TNumEdit;

class TwdOption : public QDialog {
  Q_OBJECT

 public:
  static constexpr int FieldCount = 22;

  explicit TwdOption(QWidget* owner);

  // Reads all 22 keys into the fields, a missing key giving its dialog default.  False
  // when the settings file exists but cannot be read.
  bool LoadSettings();
  // Writes all 22 fields to their keys, leaving the file's other lines as they were.
  // False when the file cannot be written, or exists but cannot be read (writing it
  // then would lose what it holds).
  bool SaveSettings();
  // Shared change handler of the fields: enables "应用".
  void ValueChanged();
  void btnApplyClick();
  bool SaveOrReport();  // saves; on failure says so with the reason
  void btnOKClick();

  // The file the dialog reads and writes, fixed when the dialog is created.
  const QString& SettingsPath() const { return IniPath; }

 protected:
  // Enter moves to the next field.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPages();
  QWidget* BuildPage(int page);
  int FieldIndex(const QObject* edit) const;  // -1 when not a field
  void FocusNext(int index);

  QString IniPath;
  // The fields in the order of the pages.  A field keeps the value read from the file
  // apart from its text, so that it is written back unchanged where the display rounds.
  std::array<TNumEdit*, FieldCount> Fields{};
  QTabWidget* pcOption = nullptr;        // "默认赛道参数", "默认赛车参数", "规则"
  QTabWidget* pcCarParam = nullptr;      // "基本参数", "电机参数", "舵机参数"
  QCheckBox* chkRulesSandbox = nullptr;  // Rules/SandboxModules
  QPushButton* btnOK = nullptr;

  QPushButton* btnCancel = nullptr;
  QPushButton* btnApply = nullptr;
};

}  // namespace k2
