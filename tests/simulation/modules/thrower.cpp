// Throws a C++ exception out of its first Judge call, and out of Reset once armed by
// a call with speed 7.  Counts its calls in a global, so that a later call shows
// whether the module kept its state.
#include <stdexcept>

#include "kurvino2_judge.h"

namespace {
int Calls = 0;
bool ResetArmed = false;
}  // namespace

void Judge(int speed, const unsigned char *, unsigned short, const unsigned char *, int, int,
           unsigned short *motor, unsigned short *) {
  ++Calls;
  *motor = static_cast<unsigned short>(Calls);
  if (speed == 7) ResetArmed = true;
  if (Calls == 1) throw std::runtime_error("first call");
}

void Reset(void) {
  if (ResetArmed) throw std::runtime_error("reset");
}
