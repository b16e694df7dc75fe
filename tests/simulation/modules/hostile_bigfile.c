/* Writes a file in the working folder larger than the 1 GiB file-size limit: one byte
 * at offset 1 GiB (the file would be sparse). */
#include <fcntl.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  const int fd = open("hostile-big.bin", O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) {
    Report(1, "open hostile-big.bin");
    return;
  }
  Report(pwrite(fd, "x", 1, (off_t)1 << 30) != 1, "write at 1 GiB");
  close(fd);
}
