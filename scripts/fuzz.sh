#!/usr/bin/env bash
# Builds the fuzzing targets of the file readers (fuzz/) with clang into build-fuzz/
# and runs each for SECONDS (default 30) with libFuzzer; fails when any target finds a
# crash, a sanitizer report, a broken property, a leak or a hang.  Large values run
# for hours; the corpora in build-fuzz/corpus/ grow from run to run.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: track car record settings design_json
#
# The seeds are made afresh every run from the sample files of the program's build
# (build/bin/Path, build/bin/Car, records of kurvino2-cli run, data/*.json), which
# scripts/build.sh makes when they are missing.  What a target finds is kept as
# build-fuzz/findings/TARGET-crash-... (or leak-, timeout-, oom-); replay one with
#   build-fuzz/fuzz/fuzz_TARGET FILE
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-30}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
  exit 2
fi
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(track car record settings design_json)

scripts/setup.sh

# --- the targets ---
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$root
fi
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DKURVINO2_FUZZ=ON -DKURVINO2_TESTS=OFF -DKURVINO2_BENCH=OFF >/dev/null
fi
cmake --build build-fuzz -j "$(nproc)" --target kurvino2_fuzzers

# --- the seeds, from the program's own sample files ---
bin=$root/build/bin
if [ ! -x "$bin/kurvino2-cli" ] || [ ! -x "$bin/kurvino2-judge-host" ] ||
  ! compgen -G "$bin/Path/*.kpf" >/dev/null || ! compgen -G "$bin/Car/*.kcf" >/dev/null ||
  ! compgen -G "$bin/Judgement/*.so" >/dev/null; then
  scripts/build.sh
fi
seeds=$root/build-fuzz/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{track,car,record,settings,design_json}
cp "$bin"/Path/*.kpf "$seeds/track/"
cp "$bin"/Car/*.kcf "$seeds/car/"
cp data/tracks/*.json data/cars/*.json "$seeds/design_json/"

# Records of short runs, each car with the example module that suits it; and the dumps
# of every sample, which are the other form build reads.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli() { (cd "$work" && "$bin/kurvino2-cli" --settings "$work/none.ini" "$@"); }
for car in "$bin"/Car/*.kcf; do
  judge=$bin/Judgement/LightFollower.so
  [[ $(basename "$car") == CCD* ]] && judge=$bin/Judgement/CcdFollower.so
  name=$(basename "$car" .kcf)
  cli run --track "$bin/Path/Oval.kpf" --car "$car" --judge "$judge" --steps 25 \
    --out "$seeds/record/$name.krf" >/dev/null
done
cli run --track "$bin/Path/SBend.kpf" --car "$bin/Car/Light8.kcf" \
  --judge "$bin/Judgement/LightFollower.so" --steps 0 --out "$seeds/record/empty.krf" >/dev/null
for f in "$seeds"/track/*.kpf "$seeds"/car/*.kcf "$seeds"/record/*.krf; do
  cli dump "$f" >"$seeds/design_json/dump-$(basename "$f").json"
done

# Settings: every key of the key table in its section, with CRLF and LF line ends,
# comments and a key outside any section.
cat >"$seeds/settings/full.ini" <<'EOF'
; Kurvino2 settings
[DefaultPathParam]
PathWidth=300
LineWidth=30
Miu=0.01

[DefaultCarParam]
Length=400
Width=200
Weight=2500
Track=300
WheelBase=190
WheelD=40
WheelWidth=20
FrontLength=130
Ratio=0.5

[DefaultMotorParam]
URated=7.4
IRated=0.2
TRated=10
nRated=3000
Ra=0.2
L=15

[DefaultSteerMotorParam]
MaxSteerAngle=40
SteerSpeed=30

[Rules]
MaxSensorCount=16
MinPathR=400
SandboxModules=1
EOF
printf 'stray=1\r\n[rules]\r\n minpathr = 250 \r\n;MaxSensorCount=3\r\nSandboxModules=0\r\n' \
  >"$seeds/settings/crlf.ini"

# --- the runs ---
findings=$root/build-fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
failed=()
for t in "${targets[@]}"; do
  exe=$root/build-fuzz/fuzz/fuzz_$t
  if [ ! -x "$exe" ]; then
    echo "fuzz: no target $t" >&2
    exit 2
  fi
  corpus=$root/build-fuzz/corpus/$t
  mkdir -p "$corpus"
  echo "=== fuzz_$t for ${seconds}s"
  # -timeout: one input taking this long counts as a hang (the machine may be busy).
  if ! (cd "$work" && "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/$t-" "$corpus" "$seeds/$t"); then
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}; inputs in build-fuzz/findings/" >&2
  exit 1
fi
echo "fuzz: no findings"
