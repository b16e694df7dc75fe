#include "replay/uReplaycontrol.h"

#include "app/uMain.h"

namespace k2 {

TReplayPage::TReplayPage(TwdMain* main, QWidget* parent) : QWidget(parent), Main(main) {}

}  // namespace k2
