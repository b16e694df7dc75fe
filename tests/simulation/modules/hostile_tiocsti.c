/* Types a command into the engine's terminal (TIOCSTI on /dev/tty), for the user's
 * shell to run once the engine has ended. */
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  const int tty = open("/dev/tty", O_RDWR);
  if (tty < 0) {
    Report(1, "open /dev/tty");
    return;
  }
  int refused = 0;
  for (const char *c = "echo hostile\n"; *c && !refused; ++c) refused = ioctl(tty, TIOCSTI, c) != 0;
  Report(refused, "TIOCSTI into the engine's terminal");
  close(tty);
}
