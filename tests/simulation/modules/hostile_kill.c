/* Kills the engine. */
#include <signal.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  Report(kill(getppid(), SIGKILL) != 0, "kill(engine, SIGKILL)");
}
