#include "simulation/uSimulation.h"

namespace k2 {

TSimuPage::TSimuPage(IPageHost& host, QWidget* parent) : QWidget(parent), Host(host) {}

bool TSimuPage::ConfirmLeave(TLeaving) { return true; }

void TSimuPage::ClosePage() {}

}  // namespace k2
