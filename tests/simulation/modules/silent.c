/* Writes neither cell: the commands in force stay as they were. */
#include "kurvino2_judge.h"

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed, (void)lightData, (void)lightCount, (void)ccdData, (void)ccdWidth, (void)ccdHeight,
      (void)motor, (void)steer;
}

void Reset(void) {}
