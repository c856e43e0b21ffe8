#!/usr/bin/env bash
# Sets up what is missing, builds Quirabel into build/ and makes the Debian package
# build/quirabel_<version>_amd64.deb (install it with: apt-get install ./build/quirabel_*.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
(cd build && cpack -G DEB)
