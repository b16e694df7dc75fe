/* Exports Judge only. */
#include "kurvino2_judge.h"

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed, (void)lightData, (void)lightCount, (void)ccdData, (void)ccdWidth, (void)ccdHeight,
      (void)steer;
  *motor = 1;
}
