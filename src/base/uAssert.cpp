#include "base/uAssert.h"

#include <cstdio>
#include <cstdlib>

namespace k2 {

void AssertFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace k2
