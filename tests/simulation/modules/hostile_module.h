/* Shared by the hostile test modules (hostile_*.c).  Each module defines Misdeed(),
 * which tries one thing a confined module must not do and says on stdout how it went:
 *   "refused: WHAT: REASON"  the system refused it (REASON is strerror(errno));
 *   "MISDEED: WHAT"          it worked: the tests fail on such a line.
 * A call the sandbox stops prints nothing more, since the host ends inside it.
 *
 * Judge leaves full drive in the motor cell first, then commits the misdeed on the
 * call numbered K2_HOSTILE_AT (default 1) within the host process; the other calls
 * only drive.  Reset does nothing. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kurvino2_judge.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData);

__attribute__((unused)) static void Report(int refused, const char *what) {
  if (refused)
    printf("refused: %s: %s\n", what, strerror(errno));
  else
    printf("MISDEED: %s\n", what);
  fflush(stdout);
}

static int Calls = 0;

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed, (void)lightCount, (void)ccdWidth, (void)ccdHeight, (void)steer;
  const char *at = getenv("K2_HOSTILE_AT");
  *motor = 65535;
  if (++Calls == (at ? atoi(at) : 1)) Misdeed(lightData, ccdData);
}

void Reset(void) {}
