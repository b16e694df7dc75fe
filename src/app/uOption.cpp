#include "app/uOption.h"

namespace k2 {

TwdOption::TwdOption(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("选项"));
  setFixedSize(428, 266);
}

}  // namespace k2
