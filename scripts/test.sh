#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: first the normal build (gcc),
# then the whole project again with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (the core layers with the leak check, the Qt windows' tests without it); last the programs of the
# normal build are tried out and packed into the Debian package. Each configuration is built once,
# its sources in batches (unity build) and the Qt headers precompiled; warnings are errors in
# every build, so both compilers' warnings are checked for all code. At the end each stage's time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
# Compiler output is shared through ccache across the builds below, across clones in other
# folders (paths are taken relative to the clone) and across runs.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
# Precompiled headers are cached too: their users are keyed on the header's contents, not on its
# time stamp or on the macros it was made with (those are part of the compile flags).
export CCACHE_SLOPPINESS=pch_defines,time_macros
speed=(-DQUIRABEL_UNITY=ON -DQUIRABEL_PCH=ON -DQUIRABEL_LLD=ON)
# Each stage's wall time and CPU time (user + system of everything it ran: the compilers, the
# tests), read from this shell's own record of its finished children.
stage_names=()
stage_seconds=()
stage_cpu=()
stage_start=$SECONDS
clock_ticks=$(getconf CLK_TCK)
children_cpu_ticks() {
  local stat
  read -r stat </proc/$$/stat
  # Fields 16 and 17 of the record (after the name in parentheses): the children's user and system.
  local -a fields
  read -r -a fields <<<"${stat##*) }"
  echo $((fields[13] + fields[14]))
}
stage_cpu_start=$(children_cpu_ticks)
stage() {
  local now=$SECONDS cpu
  cpu=$(children_cpu_ticks)
  if ((${#stage_names[@]})); then
    stage_seconds+=($((now - stage_start)))
    stage_cpu+=($(((cpu - stage_cpu_start) / clock_ticks)))
  fi
  stage_start=$now
  stage_cpu_start=$cpu
  if [[ $# -gt 0 ]]; then
    stage_names+=("$1")
    echo "== $1"
  fi
}
print_stage_times() {
  stage
  echo "== stage times (wall, CPU)"
  local i wall=0 cpu=0
  for i in "${!stage_seconds[@]}"; do
    printf '%6d s %6d s CPU  %s\n' "${stage_seconds[$i]}" "${stage_cpu[$i]}" "${stage_names[$i]}"
    wall=$((wall + stage_seconds[i]))
    cpu=$((cpu + stage_cpu[i]))
  done
  printf '%6d s %6d s CPU  all stages\n' "$wall" "$cpu"
}

# CPU seconds of a fresh clone with an empty ccache, on 2 cores shared with other builds (load 5
# to 13), before and after the precompiled headers for all Qt code and for the tests, the tests'
# own code left out of the sanitizers and the benchmarks only checked under clang:
#   setup, build/ with its tests, core check, build-sanitize/ built   971 -> 769
#   the sanitized tests run                                  (one timed out) -> 150
#   all stages                          1011 (on a quiet machine, before) -> 934
# On a quieter machine (load 1 to 2) all stages took 862 s of CPU and 496 s of wall time.
stage "build and test (build/)"
source scripts/build_options.sh
cmake -S . -B build "${build_options[@]}" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

stage "core layers need no Qt"
# Nothing below the Qt backend includes a Qt header, and the core configures without Qt at all.
if git grep -n -E '#include <Q' -- src ':!src/ui/qt' ':!src/main' ':!src/linktool' \
  ':!src/mailtool'; then
  echo "a layer below the Qt backend includes Qt"
  exit 1
fi
cmake -S . -B build-core-check -G Ninja -DQUIRABEL_CORE_ONLY=ON -DBUILD_TESTING=OFF \
  -DQUIRABEL_BENCH=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null

stage "clang, everything under AddressSanitizer + UBSan (build-sanitize/)"
# One tree for the sanitizers and for clang's warnings. The benchmarks are run from build/ only:
# here they are compiled as a check (-fsyntax-only, every warning of a full compile) and not built.
# The libraries and programs are instrumented, the tests' own code is not (the reasons are in
# cmake/build_speed.cmake). Not optimised, asserts on: -O1 would make the sanitized compiles three
# times as costly, far more than it spares the tests.
cmake -S . -B build-sanitize -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DQUIRABEL_SANITIZE=ON -DQUIRABEL_WERROR=ON -DQUIRABEL_BENCH=ON \
  -DQUIRABEL_BENCH_CHECK_ONLY=ON -DQUIRABEL_CORE_ONLY=OFF "${speed[@]}" >/dev/null
cmake --build build-sanitize -j"$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan_suppressions.txt"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -LE qt
# Qt keeps a few objects of its own alive to the end (gesture and PDF render threads); the leak
# check of our code is the run above.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -L qt

stage "programs tried out and packed (build/)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
batch=build/bin/quirabel-batch
"$batch" --version
QUIRABEL_HOME="$scratch/home" "$batch" new --din A6 -o "$scratch/karte.kxp"
QUIRABEL_HOME="$scratch/home" "$batch" export "$scratch/karte.kxp" -o "$scratch/karte.pdf"
qpdf --check "$scratch/karte.pdf" >/dev/null
# The designer starts, shows its window and leaves (screenshot mode). From the build folder, on a
# system without the package, it offers itself for projects under an id of its own, and the
# desktop's cache names it.
XDG_DATA_DIRS="$scratch/no-system" QT_QPA_PLATFORM=offscreen QUIRABEL_HOME="$scratch/home" \
  XDG_DATA_HOME="$scratch/data" QUIRABEL_SCREENSHOT="$scratch/start.png" \
  timeout 60 build/bin/quirabel 2>/dev/null
test -s "$scratch/start.png"
grep -q 'application/x-quirabel-project=org.example.quirabel.build.desktop' \
  "$scratch/data/applications/mimeinfo.cache"
test -s "$scratch/data/mime/mime.cache"
# Without tests and benchmarks, the configure must not even look for GoogleTest or Google
# Benchmark (as a packager builds).
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DQUIRABEL_BENCH=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
rm -f build/quirabel_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/quirabel_*.deb)
scripts/check_package.sh "$deb"
ls -l "$deb"
print_stage_times
