#include "simulation/uJudgeOutput.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace k2 {

TwdJudgeOutput::TwdJudgeOutput(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("决策程序输出"));
  setModal(false);
  resize(560, 360);
  txtJudgeOutput = new QPlainTextEdit(this);
  txtJudgeOutput->setObjectName(QStringLiteral("txtJudgeOutput"));
  txtJudgeOutput->setAccessibleName(QStringLiteral("决策程序输出"));
  txtJudgeOutput->setReadOnly(true);
  txtJudgeOutput->setMaximumBlockCount(MaxLines);
  txtJudgeOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtJudgeOutput->setFont(QFont(QStringLiteral("monospace")));
  auto* clear = new QPushButton(QStringLiteral("清空"), this);
  clear->setObjectName(QStringLiteral("btnClearJudgeOutput"));
  connect(clear, &QPushButton::clicked, this, &TwdJudgeOutput::Clear);
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("btnCloseJudgeOutput"));
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(clear);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(txtJudgeOutput, 1);
  layout->addLayout(buttons);
}

void TwdJudgeOutput::AddLine(const QString& line) {
  QScrollBar* bar = txtJudgeOutput->verticalScrollBar();
  const bool atBottom = bar->value() == bar->maximum();
  txtJudgeOutput->appendPlainText(line);
  // Newest at the bottom, unless the user has scrolled up to read.
  if (atBottom) bar->setValue(bar->maximum());
}

void TwdJudgeOutput::Clear() { txtJudgeOutput->clear(); }

QString TwdJudgeOutput::Text() const { return txtJudgeOutput->toPlainText(); }

}  // namespace k2
