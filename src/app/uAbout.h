#pragma once
// The about box.
#include <QDialog>

class QLabel;

namespace k2 {

class TwdAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TwdAboutBox(QWidget* owner);

  QLabel* ProgramIcon = nullptr;  // the application icon, 48 x 48 pixels
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Build = nullptr;
};

}  // namespace k2
