#include "base/uCpu.h"

namespace k2 {

#if defined(__x86_64__) || defined(__i386__)

namespace {
bool HasAvx() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
}
}  // namespace

void ClearUpperVectorState() {
  static const bool avx = HasAvx();
  // The instruction is spelled out: this file is built without AVX, and the assembler
  // takes it all the same.  Only the upper halves change, which no code built without
  // AVX ever holds values in.
  if (avx) __asm__ __volatile__("vzeroupper");
}

#else

void ClearUpperVectorState() {}

#endif

}  // namespace k2
