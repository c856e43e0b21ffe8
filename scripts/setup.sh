#!/usr/bin/env bash
# Installs the Debian packages Quirabel needs to build, run and test, when they are missing.
#   scripts/setup.sh            build + run + test dependencies
#   scripts/setup.sh --tools    also what the generators in tools/ read (font metrics), and perf
#                               for profiling the benchmarks
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-pdf-dev qt6-svg-dev libgl-dev
  libjpeg62-turbo-dev libgif-dev libpng-dev zlib1g-dev libzint-dev libpoppler-cpp-dev libpoppler-glib-dev libcairo2-dev
  libcli11-dev nlohmann-json3-dev libcurl4-openssl-dev libssl-dev libicu-dev libcups2-dev
  qt6-translations-l10n
  fonts-liberation fonts-liberation2 fonts-dejavu-core
  libfreetype-dev libharfbuzz-dev libfontconfig-dev libexpat1-dev
  googletest libgtest-dev libbenchmark-dev
  python3
  qpdf libqpdf-dev poppler-utils zbar-tools dmtx-utils python3-aiosmtpd lintian appstream
  glabels-data cups-daemon cups-client libxml2-utils
  desktop-file-utils xdg-utils
  clang libclang-rt-14-dev lld
  xvfb xauth
)
if [[ "${1:-}" == "--tools" ]]; then
  packages+=(fonts-urw-base35 python3 xdotool imagemagick linux-perf)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
