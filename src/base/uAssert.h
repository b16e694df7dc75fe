#pragma once
// K2_ASSERT: an invariant checked in every build type.  The release build (with
// NDEBUG) would drop assert(); these checks stay, since a broken invariant in the
// engine or a reader must stop the program at its cause, not corrupt a file later.
// Keep them cheap: they sit at the entry of operations that run every step.

namespace k2 {

// Prints the failed condition with its place to stderr and aborts.
[[noreturn]] void AssertFailed(const char* condition, const char* file, int line);

}  // namespace k2

#define K2_ASSERT(condition) \
  (static_cast<bool>(condition) ? void(0) : ::k2::AssertFailed(#condition, __FILE__, __LINE__))
