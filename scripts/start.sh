#!/usr/bin/env bash
# Sets up what is missing, builds Quirabel and starts the designer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [[ -x build/bin/quirabel ]]; then
  exec build/bin/quirabel "$@"
fi
echo
echo "Built everything there is so far into build/bin/:"
ls build/bin
echo "The designer itself (build/bin/quirabel) is not part of the build yet."
