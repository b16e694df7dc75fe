/* Opens the engine's memory through /proc/PID/mem and writes one byte of it (the byte
 * it read there, so that an engine left open to this is not damaged as well). */
#include <fcntl.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/mem", (int)getppid());
  const int fd = open(path, O_RDWR);
  if (fd < 0) {
    Report(1, "open /proc/ENGINE/mem");
    return;
  }
  Report(0, "open /proc/ENGINE/mem");
  unsigned long start = 0;
  snprintf(path, sizeof path, "/proc/%d/maps", (int)getppid());
  FILE *maps = fopen(path, "r");
  if (maps && fscanf(maps, "%lx", &start) == 1) {
    unsigned char byte;
    if (pread(fd, &byte, 1, (off_t)start) == 1)
      Report(pwrite(fd, &byte, 1, (off_t)start) != 1, "write /proc/ENGINE/mem");
  }
  if (maps) fclose(maps);
  close(fd);
}
