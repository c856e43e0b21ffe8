#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test: first the normal build, then the
# core layers again under AddressSanitizer and UndefinedBehaviorSanitizer (built without Qt, which
# also proves they need none), then the Qt windows' tests under the same sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

echo "== build and test (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRABEL_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== core tests under AddressSanitizer + UBSan (build-asan/)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIRABEL_SANITIZE=ON -DQUIRABEL_WERROR=ON \
  -DQUIRABEL_CORE_ONLY=ON -DQUIRABEL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Qt window tests under AddressSanitizer + UBSan (build-asan-qt/)"
cmake -S . -B build-asan-qt -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIRABEL_SANITIZE=ON \
  -DQUIRABEL_WERROR=ON -DQUIRABEL_BENCH=OFF >/dev/null
cmake --build build-asan-qt -j"$jobs" --target test_qt
# Qt keeps a few objects of its own alive to the end (gesture and PDF render threads); the leak
# check of our code is the core run above.
QT_QPA_PLATFORM=offscreen QUIRABEL_HOME="$PWD/build-asan-qt/test-home" \
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-asan-qt/bin/test_qt
