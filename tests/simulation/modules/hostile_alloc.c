/* Allocates 20 GiB and touches every page of it. */
#include <stdint.h>
#include <sys/mman.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  const size_t size = (size_t)20 << 30;
  unsigned char *p =
      mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) {
    Report(1, "mmap of 20 GiB");
    return;
  }
  for (size_t i = 0; i < size; i += 4096) p[i] = 1;
  Report(0, "touched 20 GiB");
}
