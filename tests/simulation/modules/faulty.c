/* Drives at full motor and fails one call the way the environment asks:
 *   K2_FAULT_AT  number of the failing call within this host process (default 3)
 *   K2_FAULT     "segv" (default), "abort", "exit" or "hang"
 * With K2_RESET_FAULT set, Reset fails the same way.  The count starts again in a
 * fresh host.  Prints "load", "reset" and "judge N". */
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kurvino2_judge.h"

static int Calls = 0;
static volatile uintptr_t BadAddress = 8; /* no page is ever mapped there */

__attribute__((constructor)) static void Loaded(void) { printf("load\n"); }

static void Fail(void) {
  const char *how = getenv("K2_FAULT");
  if (how && strcmp(how, "abort") == 0) abort();
  if (how && strcmp(how, "exit") == 0) exit(0);
  if (how && strcmp(how, "hang") == 0)
    for (;;) pause();
  *(volatile int *)BadAddress = 1;
}

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed, (void)lightData, (void)lightCount, (void)ccdData, (void)ccdWidth, (void)ccdHeight,
      (void)steer;
  const char *at = getenv("K2_FAULT_AT");
  ++Calls;
  printf("judge %d\n", Calls);
  *motor = 65535;
  if (Calls == (at ? atoi(at) : 3)) Fail();
}

void Reset(void) {
  printf("reset\n");
  if (getenv("K2_RESET_FAULT")) Fail();
}
