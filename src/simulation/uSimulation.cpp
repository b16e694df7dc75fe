#include "simulation/uSimulation.h"

#include "app/uMain.h"

namespace k2 {

TSimuPage::TSimuPage(TwdMain* main, QWidget* parent) : QWidget(parent), Main(main) {}

}  // namespace k2
