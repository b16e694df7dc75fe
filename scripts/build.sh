#!/usr/bin/env bash
# Configures and builds into build/; build/bin is the program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j "$(nproc)"
