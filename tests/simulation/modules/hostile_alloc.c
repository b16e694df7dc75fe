/* Allocates 20 GiB and touches it.  Should the allocation be granted, only the first
 * 4 GiB are touched, twice the sandbox's limit: enough to show the limit is not in
 * force without taking a shared machine's memory. */
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
  for (size_t i = 0; i < ((size_t)4 << 30); i += 4096) p[i] = 1;
  Report(0, "mmap of 20 GiB, 4 GiB of it touched");
  munmap(p, size);
}
