#!/usr/bin/env bash
# Sets up what is missing, builds Quirabel and starts the designer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The same build/ as scripts/test.sh's (same options, so neither rebuilds what the other built),
# with ccache able to cache the precompiled headers.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true CCACHE_SLOPPINESS=pch_defines,time_macros
source scripts/build_options.sh
cmake -S . -B build "${build_options[@]}" >/dev/null
# The designer and the tools it starts; the tests and benchmarks are scripts/test.sh's.
cmake --build build -j"$(nproc)" --target quirabel quirabel-link quirabel-mail quirabel-batch
exec build/bin/quirabel "$@"
