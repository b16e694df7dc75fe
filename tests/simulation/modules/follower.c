/* Follows the line with the point sensors, taken as a row from left to right: steers
 * towards the dark ones in proportion to how far they lie off the middle, at a
 * third of the drive.  Keeps the last steering when no sensor sees the line. */
#include "kurvino2_judge.h"

void Judge(int speed, const unsigned char *lightData, unsigned short lightCount,
           const unsigned char *ccdData, int ccdWidth, int ccdHeight, unsigned short *motor,
           unsigned short *steer) {
  (void)speed, (void)ccdData, (void)ccdWidth, (void)ccdHeight;
  long weight = 0, moment = 0;
  for (int i = 0; i < lightCount; ++i) {
    const long dark = 255 - lightData[i];
    weight += dark;
    moment += dark * (2 * i - (lightCount - 1));
  }
  *motor = 21845;
  if (weight == 0 || lightCount < 2) return;
  /* moment / weight runs from -(n-1) (line at the left) to n-1 (at the right). */
  long s = 32768 - moment * 32767 / (weight * (lightCount - 1));
  *steer = (unsigned short)(s < 0 ? 0 : s > 65535 ? 65535 : s);
}

void Reset(void) {}
