#!/usr/bin/env bash
# The bash completion of quirabel-batch, as bash calls it on Tab: commands, the options of each
# command from the program's own --help, option values and project files.
#   completion_test.sh QUIRABEL-BATCH COMPLETION-SCRIPT
set -u
batch=$1
source "$2"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/bin" "$folder/work/serie"
ln -s "$(readlink -f "$batch")" "$folder/bin/quirabel-batch"
touch "$folder/work/karte.kxp" "$folder/work/notiz.txt" "$folder/work/alle.pdf" "$folder/work/bild.png"
export PATH="$folder/bin:$PATH"
# Our own list of pre-cut sheets only, whatever label templates are installed.
export XDG_DATA_DIRS="$folder/no-templates"
cd "$folder/work"

failures=0
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _quirabel_batch
  local got="${COMPREPLY[*]}"
  if [[ "$got" != "$want" ]]; then
    echo "completing '$*': got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}
expect "serial" quirabel-batch se
expect "--verify" quirabel-batch serial --v
expect "A4 A5 A6" quirabel-batch new --din ""
expect "klappkarte-a6" quirabel-batch new --print-format kl
expect "none starttls ssl" quirabel-batch mail x.csv --security ""
expect "karte.kxp serie" quirabel-batch export ""
expect "serie" quirabel-batch serial karte.kxp -o ""
expect "" quirabel-batch serial karte.kxp --rows ""
expect "thumbnail" quirabel-batch th
expect "karte.kxp serie" quirabel-batch thumbnail ""
expect "bild.png serie" quirabel-batch thumbnail karte.kxp ""
expect "A4 A3 SRA3" quirabel-batch export karte.kxp -o a.pdf --sheet ""
expect "" quirabel-batch export karte.kxp --sheet A4 --gap ""
expect "alle.pdf serie" quirabel-batch serial karte.kxp --one-pdf ""
expect "" quirabel-batch thumbnail karte.kxp --size ""
expect "print" quirabel-batch pri
expect "C32010 C32011 C32015" quirabel-batch export karte.kxp -o a.pdf --sheet-product C320
expect "long short off" quirabel-batch print karte.kxp --duplex ""
expect "bild.png serie" quirabel-batch export karte.kxp --png ""
if ((failures)); then exit 1; fi
echo "completion: 15 passed, 0 failed"
