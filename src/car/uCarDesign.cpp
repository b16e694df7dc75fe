#include "car/uCarDesign.h"

#include "app/uMain.h"

namespace k2 {

TCarDesignPage::TCarDesignPage(TwdMain* main, QWidget* parent) : QWidget(parent), Main(main) {}

}  // namespace k2
