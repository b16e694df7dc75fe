#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Kurvino2.  Without a display it runs the
# sample simulation headless instead: the 8-sensor sample car with its example module
# on Default.kpf for 20 s of simulated time, saved as a record.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/kurvino2 "$@"
fi

bin=build/bin
record=$bin/Record/示例仿真记录.krf
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running the sample simulation headless."
echo "Car $bin/Car/Light8.kcf with module $bin/Judgement/LightFollower.so on $bin/Default.kpf,"
echo "2000 steps of 10 ms (20 s simulated):"
"$bin/kurvino2-cli" run --track "$bin/Default.kpf" --car "$bin/Car/Light8.kcf" \
  --judge "$bin/Judgement/LightFollower.so" --step 10 --steps 2000 --out "$record"
echo
echo "Record saved as $record.  To look at it:"
echo "  $bin/kurvino2-cli dump \"$record\""
echo "      prints the whole run as JSON, one entry per step;"
echo "  $bin/kurvino2-cli render-frame \"$record\" 1999 frame.png"
echo "      draws the main view of step 1999 (0 to 1999) into frame.png."
echo "With a display, ./run.sh starts the program instead."
