#pragma once
// The options dialog: every key of the settings file on three pages.
#include <QDialog>

namespace k2 {

class TwdOption : public QDialog {
  Q_OBJECT

 public:
  explicit TwdOption(QWidget* owner);
};

}  // namespace k2
