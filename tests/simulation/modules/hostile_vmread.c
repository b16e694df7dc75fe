/* Reads the engine's memory with process_vm_readv.  EFAULT would mean the access as
 * such was allowed (the address is only a guess), so it counts as done. */
#define _GNU_SOURCE
#include <sys/uio.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  char buf[16];
  struct iovec local = {buf, sizeof buf};
  struct iovec remote = {(void *)0x10000, sizeof buf};
  const ssize_t n = process_vm_readv(getppid(), &local, 1, &remote, 1, 0);
  Report(n < 0 && errno != EFAULT, "process_vm_readv(engine)");
}
