#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs every test there; any sanitizer report fails its test (the
# process aborts).  Extra arguments go to ctest, e.g. --repeat until-fail:10.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -f build-asan/CMakeCache.txt ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKURVINO2_SANITIZE=ON -DKURVINO2_BENCH=OFF >/dev/null
fi
cmake --build build-asan -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600 "$@"
