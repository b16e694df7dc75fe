/* Opens a network socket. */
#include <sys/socket.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  Report(socket(AF_INET, SOCK_STREAM, 0) < 0, "socket(AF_INET)");
}
