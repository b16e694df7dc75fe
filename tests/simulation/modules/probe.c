/* Reports its calls and arguments on stdout and misbehaves on request.
 *
 * Loading prints "load", Reset prints "reset", Judge prints
 *   judge speed=S light=N:SUM ccd=WxH:SUM
 * (SUM the byte sum of the buffer, or "null" for a null pointer), then sets the
 * motor cell to speed and, for these speeds, does:
 *   1001 invalid memory access      1002 abort()          1003 exit(3)
 *   1004 never returns              1005 writes into lightData
 *   1006 the next Reset faults      1007 the next Reset never returns
 *   1008 prints 3000 lines on stdout, then "done" on stderr
 *   1009 prints "partial" without a line end
 *   1010 takes 5 ms
 */
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "kurvino2_judge.h"

static int ResetMode = 0;
static volatile uintptr_t BadAddress = 8; /* no page is ever mapped there */

__attribute__((constructor)) static void Loaded(void) { printf("load\n"); }

static void Fault(void) { *(volatile int *)BadAddress = 1; }

static void Hang(void) {
  for (;;) pause();
}

static void PrintSum(const unsigned char *data, unsigned long n) {
  unsigned long sum = 0;
  if (!data) {
    printf("null");
    return;
  }
  for (unsigned long i = 0; i < n; ++i) sum += data[i];
  printf("%lu", sum);
}

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)steer;
  printf("judge speed=%d light=%u:", speed, (unsigned)lightCount);
  PrintSum(lightData, lightCount);
  printf(" ccd=%dx%d:", ccdWidth, ccdHeight);
  PrintSum(ccdData, (unsigned long)ccdWidth * (unsigned long)ccdHeight);
  printf("\n");
  *motor = (unsigned short)speed;
  switch (speed) {
    case 1001:
      Fault();
      break;
    case 1002:
      abort();
    case 1003:
      exit(3);
    case 1004:
      Hang();
      break;
    case 1005:
      ((unsigned char *)lightData)[0] = 1;
      break;
    case 1006:
      ResetMode = 1;
      break;
    case 1007:
      ResetMode = 2;
      break;
    case 1008:
      for (int i = 0; i < 3000; ++i)
        printf("chat %04d ........................................\n", i);
      fprintf(stderr, "done\n");
      break;
    case 1009:
      printf("partial");
      break;
    case 1010:
      usleep(5000);
      break;
    default:
      break;
  }
}

void Reset(void) {
  printf("reset\n");
  if (ResetMode == 1) Fault();
  if (ResetMode == 2) Hang();
}
