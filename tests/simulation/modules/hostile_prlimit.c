/* Lowers the engine's file-size limit to 0, so that the engine's next write of a file
 * ends it (SIGXFSZ). */
#define _GNU_SOURCE
#include <sys/resource.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  const struct rlimit none = {0, 0};
  Report(prlimit(getppid(), RLIMIT_FSIZE, &none, NULL) != 0, "prlimit of the engine's file size");
}
