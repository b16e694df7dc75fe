/* Starts a child process that never ends by itself, to outlive the run.  The parent
 * prints "MISDEED: fork: child PID" and returns. */
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  const pid_t child = fork();
  if (child == 0)
    for (;;) pause();
  if (child < 0) {
    Report(1, "fork");
    return;
  }
  printf("MISDEED: fork: child %d\n", (int)child);
  fflush(stdout);
}
