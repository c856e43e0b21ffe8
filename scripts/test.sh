#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: first the normal build, then the
# core layers again under AddressSanitizer and UndefinedBehaviorSanitizer (built without Qt, which
# also proves they need none), then the Qt windows' tests under the same sanitizers, then the whole
# project built and tested with clang, and last the Release build of the programs, tried out and
# packed into the Debian package. Warnings are errors in every build but the Release one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
# Compiler output is shared through ccache across the builds below, across clones in other
# folders (paths are taken relative to the clone) and across runs.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
stage_names=()
stage_seconds=()
stage_start=$SECONDS
stage() {
  local now=$SECONDS
  if ((${#stage_names[@]})); then stage_seconds+=($((now - stage_start))); fi
  stage_start=$now
  if [[ $# -gt 0 ]]; then
    stage_names+=("$1")
    echo "== $1"
  fi
}
print_stage_times() {
  stage
  echo "== stage times"
  local i
  for i in "${!stage_seconds[@]}"; do
    printf '%6d s  %s\n' "${stage_seconds[$i]}" "${stage_names[$i]}"
  done
}

stage "build and test (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRABEL_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

stage "core tests under AddressSanitizer + UBSan (build-asan/)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIRABEL_SANITIZE=ON \
  -DQUIRABEL_WERROR=ON -DQUIRABEL_CORE_ONLY=ON -DQUIRABEL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

stage "Qt window tests under AddressSanitizer + UBSan (build-asan-qt/)"
cmake -S . -B build-asan-qt -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIRABEL_SANITIZE=ON \
  -DQUIRABEL_WERROR=ON -DQUIRABEL_BENCH=OFF >/dev/null
cmake --build build-asan-qt -j"$jobs" --target test_qt
# Qt keeps a few objects of its own alive to the end (gesture and PDF render threads); the leak
# check of our code is the core run above.
QT_QPA_PLATFORM=offscreen QUIRABEL_HOME="$PWD/build-asan-qt/test-home" \
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-asan-qt/bin/test_qt

stage "clang build and test (build-clang/)"
cmake -S . -B build-clang -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUIRABEL_WERROR=ON >/dev/null
cmake --build build-clang -j"$jobs"
ctest --test-dir build-clang --output-on-failure -j"$jobs"

stage "Release build, tried out and packed (build-release/)"
# QUIRABEL_WERROR stays off here: at -O3, g++ 12 reports -Wrestrict inside std::string (the
# operator+ of a literal and a string) about correct code. Without tests and benchmarks, the
# configure must not even look for GoogleTest or Google Benchmark.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUIRABEL_WERROR=OFF \
  -DBUILD_TESTING=OFF -DQUIRABEL_BENCH=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
cmake --build build-release -j"$jobs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
batch=build-release/bin/quirabel-batch
"$batch" --version
QUIRABEL_HOME="$scratch/home" "$batch" new --din A6 -o "$scratch/karte.kxp"
QUIRABEL_HOME="$scratch/home" "$batch" export "$scratch/karte.kxp" -o "$scratch/karte.pdf"
qpdf --check "$scratch/karte.pdf" >/dev/null
# The designer starts, shows its window and leaves (screenshot mode).
QT_QPA_PLATFORM=offscreen QUIRABEL_HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" \
  QUIRABEL_SCREENSHOT="$scratch/start.png" timeout 60 build-release/bin/quirabel 2>/dev/null
test -s "$scratch/start.png"
rm -f build-release/quirabel_*.deb
(cd build-release && cpack -G DEB >/dev/null)
contents=$(dpkg-deb --contents build-release/quirabel_*.deb)
for path in usr/bin/quirabel usr/bin/quirabel-batch usr/share/applications/quirabel.desktop \
  usr/share/mime/packages/quirabel.xml usr/share/icons/hicolor/scalable/apps/quirabel.svg; do
  if ! grep -q " \./$path\$" <<<"$contents"; then
    echo "the package lacks /$path"
    exit 1
  fi
done
ls -l build-release/quirabel_*.deb
print_stage_times
