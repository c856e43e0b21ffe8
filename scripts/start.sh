#!/usr/bin/env bash
# Sets up what is missing, builds Quirabel and starts the designer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The designer and the tools it starts; the tests and benchmarks are scripts/test.sh's.
cmake --build build -j"$(nproc)" --target quirabel quirabel-link quirabel-mail quirabel-batch
exec build/bin/quirabel "$@"
