#!/usr/bin/env bash
# Runs the thumbnailer entry's Exec line as a file manager does (%i the project, %o the image to
# write, %s the size) and checks the image: a PNG whose longer side is the size asked for.
#   thumbnailer_test.sh QUIRABEL-BATCH THUMBNAILER-FILE
set -euo pipefail
batch=$(readlink -f "$1")
entry=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/bin" "$folder/Mit Leerzeichen"
ln -s "$batch" "$folder/bin/quirabel-batch"
export PATH="$folder/bin:$PATH" QUIRABEL_HOME="$folder/home"
project="$folder/Mit Leerzeichen/Karte für Anna.kxp"
quirabel-batch new --mm 85 55 -o "$project" >/dev/null

exec_line=$(sed -n 's/^Exec=//p' "$entry")
mime=$(sed -n 's/^MimeType=//p' "$entry")
[[ "$mime" == "application/x-quirabel-project;" ]] || { echo "MimeType is '$mime'"; exit 1; }
passed=0
for size in 128 256 512; do
  out="$folder/thumb-$size.png"
  # A file manager splits the line into words first and then puts each path in as one argument.
  read -r -a words <<<"$exec_line"
  args=()
  for word in "${words[@]}"; do
    case $word in
      %i) args+=("$project") ;;
      %o) args+=("$out") ;;
      %s) args+=("$size") ;;
      *) args+=("$word") ;;
    esac
  done
  "${args[@]}"
  read -r width height < <(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(24)
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
print(*struct.unpack(">II", data[16:24]))' "$out")
  if [[ $width -ne $size || $height -ge $size ]]; then
    echo "size $size: the image is $width x $height"
    exit 1
  fi
  passed=$((passed + 1))
done
echo "thumbnailer: $passed passed, 0 failed"
