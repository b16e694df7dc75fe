#include "replay/uReplaycontrol.h"

namespace k2 {

TReplayPage::TReplayPage(IPageHost& host, QWidget* parent) : QWidget(parent), Host(host) {}

bool TReplayPage::ConfirmLeave(TLeaving) { return true; }

void TReplayPage::ClosePage() {}

}  // namespace k2
