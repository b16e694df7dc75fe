/* Makes the pages of the picture and of the readings writable and writes them.  The
 * write is made whether mprotect worked or not. */
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

#include "hostile_module.h"

static void WriteInto(const unsigned char *data, const char *what) {
  if (!data) return;
  const uintptr_t page = (uintptr_t)sysconf(_SC_PAGESIZE);
  void *start = (void *)((uintptr_t)data & ~(page - 1));
  Report(mprotect(start, page, PROT_READ | PROT_WRITE) != 0, what);
  *(volatile unsigned char *)data = 0x5A;
  printf("MISDEED: wrote into %s\n", what);
  fflush(stdout);
}

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  WriteInto(ccdData, "mprotect of the picture");
  WriteInto(lightData, "mprotect of the readings");
}
