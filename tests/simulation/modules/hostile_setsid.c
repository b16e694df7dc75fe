/* Leaves its process group and session, out of reach of the engine's group kill. */
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  Report(setsid() < 0, "setsid");
}
