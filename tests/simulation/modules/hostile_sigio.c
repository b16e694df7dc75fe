/* Has the kernel signal the engine instead of signalling it itself: a pipe owned by the
 * engine, with SIGKILL as its I/O signal, then a byte written into the pipe. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  int p[2];
  if (pipe(p) != 0) {
    Report(1, "pipe");
    return;
  }
  Report(fcntl(p[0], F_SETOWN, getppid()) != 0, "F_SETOWN to the engine");
  Report(fcntl(p[0], F_SETSIG, SIGKILL) != 0, "F_SETSIG SIGKILL");
  Report(fcntl(p[0], F_SETFL, O_ASYNC | O_NONBLOCK) != 0, "O_ASYNC");
  Report(write(p[1], "x", 1) != 1, "write into the pipe");
}
