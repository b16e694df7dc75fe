#pragma once
// The window "决策程序输出": what the decision module printed (its stdout and stderr),
// the last MaxLines lines, newest at the bottom.  Not modal, so it can stay open beside
// the run; it keeps collecting while hidden.  Owned by its Qt parent (the main window).
#include <QDialog>

class QPlainTextEdit;

namespace k2 {

class TwdJudgeOutput : public QDialog {
  Q_OBJECT

 public:
  static constexpr int MaxLines = 1000;

  explicit TwdJudgeOutput(QWidget* parent = nullptr);

  void AddLine(const QString& line);
  void Clear();
  QString Text() const;

 private:
  QPlainTextEdit* txtJudgeOutput = nullptr;
};

}  // namespace k2
