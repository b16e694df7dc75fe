/* Attaches to the engine as a debugger (and lets it go again should that work). */
#include <sys/ptrace.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  const pid_t engine = getppid();
  const int refused = ptrace(PTRACE_ATTACH, engine, 0, 0) != 0;
  Report(refused, "ptrace(PTRACE_ATTACH, engine)");
  if (!refused) ptrace(PTRACE_DETACH, engine, 0, 0);
}
