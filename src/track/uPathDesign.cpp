#include "track/uPathDesign.h"

#include "app/uMain.h"

namespace k2 {

TPathDesignPage::TPathDesignPage(TwdMain* main, QWidget* parent) : QWidget(parent), Main(main) {}

}  // namespace k2
