/* Shrinks and grows every shared memory file it finds among its descriptors, which
 * would take memory from under the engine's mappings. */
#include <dirent.h>
#include <unistd.h>

#include "hostile_module.h"

static void Misdeed(const unsigned char *lightData, const unsigned char *ccdData) {
  (void)lightData, (void)ccdData;
  DIR *dir = opendir("/proc/self/fd");
  if (!dir) {
    Report(1, "opendir /proc/self/fd");
    return;
  }
  for (struct dirent *e; (e = readdir(dir)) != NULL;) {
    char link[300], target[256], what[300];
    snprintf(link, sizeof link, "/proc/self/fd/%s", e->d_name);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    if (strncmp(target, "/memfd:", 7) != 0) continue;
    const int fd = atoi(e->d_name);
    snprintf(what, sizeof what, "shrink %s", target);
    Report(ftruncate(fd, 0) != 0, what);
    snprintf(what, sizeof what, "grow %s", target);
    Report(ftruncate(fd, (off_t)1 << 20) != 0, what);
  }
  closedir(dir);
}
