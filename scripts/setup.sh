#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need, when they
# are missing.  Installing needs root; without it, missing packages are only listed.
set -euo pipefail

PACKAGES=(
  g++ make cmake ninja-build pkg-config
  qt6-base-dev qt6-charts-dev libgl-dev
  qt6-svg-dev                # the application icon's PNG sizes, drawn at build time
  libqt6svg6                 # the SVG icon engine plugin that draws the program's icons
  qt6-translations-l10n      # Qt's own texts in Chinese
  qt6-qpa-plugins            # platform plugins, the offscreen one among them
  libgtest-dev libbenchmark-dev
  libseccomp-dev             # the decision-module sandbox
  clang libclang-rt-14-dev   # the fuzzing targets (libFuzzer)
  fonts-noto-cjk             # the Chinese user interface
  fonts-liberation           # metric stand-in for "Times New Roman"
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Run this script as root to install them." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
