#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Kurvino2.  Without a display it runs the
# command-line tool instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/kurvino2 "$@"
fi

echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running kurvino2-cli instead."
build/bin/kurvino2-cli --help
