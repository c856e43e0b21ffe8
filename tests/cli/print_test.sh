#!/usr/bin/env bash
# Prints through a real print service: a cupsd of the test's own, on a socket in a scratch
# folder, with a queue whose backend keeps each job's document and options as files. Checks that
# a card, a sheet by product and their options arrive as the export's own PDF, and that a missing
# printer or service is a message and exit 1, quickly. Skipped (77) where cupsd cannot start.
#   print_test.sh QUIRABEL-BATCH SERIAL-PROJECT (a card with the data field "Name")
set -euo pipefail
batch=$(readlink -f "$1")
serial_project=$(readlink -f "$2")
skip() { echo "SKIPPED: $*"; exit 77; }
command -v cupsd >/dev/null && command -v lpadmin >/dev/null || skip "cupsd or lpadmin missing"
[[ $(id -u) -eq 0 ]] || skip "cupsd needs root to start its backends as lp"
id lp >/dev/null 2>&1 || skip "no user lp"

folder=$(mktemp -d)
chmod 755 "$folder"
cupsd_pid=
cleanup() {
  [[ -n $cupsd_pid ]] && kill "$cupsd_pid" 2>/dev/null && wait "$cupsd_pid" 2>/dev/null
  rm -rf "$folder"
}
trap cleanup EXIT
mkdir -p "$folder"/{spool,cache,state,log,tmp,out,bin/backend}
chown lp "$folder/out"
for part in /usr/lib/cups/*; do
  [[ $(basename "$part") == backend ]] || ln -s "$part" "$folder/bin/"
done
cat >"$folder/bin/backend/capture" <<'BACKEND'
#!/bin/sh
# capture:/folder keeps each job's document and its copies and options.
if [ $# -eq 0 ]; then echo 'direct capture "Unknown" "Capture"'; exit 0; fi
dir=${DEVICE_URI#capture:}
printf '%s\n%s\n' "$4" "$5" >"$dir/job-$1.options"
if [ -n "$6" ]; then cat "$6"; else cat; fi >"$dir/job-$1.tmp" && mv "$dir/job-$1.tmp" "$dir/job-$1.pdf"
BACKEND
chmod 755 "$folder/bin/backend/capture"
cat >"$folder/cups-files.conf" <<CONF
ServerRoot $folder
RequestRoot $folder/spool
TempDir $folder/tmp
CacheDir $folder/cache
StateDir $folder/state
AccessLog $folder/log/access_log
ErrorLog $folder/log/error_log
PageLog $folder/log/page_log
ServerBin $folder/bin
DataDir /usr/share/cups
User lp
Group lp
CONF
cat >"$folder/cupsd.conf" <<CONF
Listen $folder/cups.sock
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
cupsd -f -c "$folder/cupsd.conf" -s "$folder/cups-files.conf" &
cupsd_pid=$!
export CUPS_SERVER="$folder/cups.sock"
for _ in $(seq 50); do
  lpstat -r 2>/dev/null | grep -q "is running" && break
  sleep 0.1
done
lpstat -r 2>/dev/null | grep -q "is running" || skip "cupsd did not start"
lpadmin -p karten -E -v "capture:$folder/out" -m raw 2>/dev/null ||
  skip "the raw queue was refused"

export QUIRABEL_HOME="$folder/home"
fail() { echo "FAILED: $*"; exit 1; }
# The job's document once it is there (the backend runs after the job was accepted).
arrived() {
  for _ in $(seq 100); do
    [[ -f "$folder/out/job-$1.pdf" ]] && return 0
    sleep 0.1
  done
  fail "job $1 did not arrive"
}
# The PDF without its time stamps, which differ between two writes.
stamped() { python3 -c '
import re, sys
sys.stdout.buffer.write(re.sub(rb"\(D:[0-9+\x27Z-]*\)", b"()", open(sys.argv[1], "rb").read()))' "$1"; }

"$batch" new --mm 85 54 -o "$folder/karte.kxp" >/dev/null
"$batch" export "$folder/karte.kxp" -o "$folder/karte.pdf"
"$batch" export "$folder/karte.kxp" -o "$folder/bogen.pdf" --sheet-product C32011 >/dev/null

# name | arguments | the export it must equal | copies | options it must carry
while IFS='|' read -r name arguments expected copies option; do
  # shellcheck disable=SC2086  # the arguments are words
  said=$("$batch" print "$folder/karte.kxp" --printer karten $arguments) || fail "$name: exit $?"
  job=$(sed -n 's/^Auftrag \([0-9]*\) an „karten“ gesendet\.$/\1/p' <<<"$said")
  [[ -n $job ]] || fail "$name: said '$said'"
  arrived "$job"
  cmp -s <(stamped "$folder/out/job-$job.pdf") <(stamped "$folder/$expected") ||
    fail "$name: the printed PDF is not the export's"
  qpdf --check "$folder/out/job-$job.pdf" >/dev/null || fail "$name: qpdf --check"
  [[ $(sed -n 1p "$folder/out/job-$job.options") == "$copies" ]] || fail "$name: copies"
  grep -q -- "$option" "$folder/out/job-$job.options" || fail "$name: no $option"
done <<'CASES'
card|--copies 1|karte.pdf|1|document-name-supplied=karte.kxp
card twice, both sides|--copies 2 --duplex long|karte.pdf|2|sides=two-sided-long-edge
sheet by product|--sheet-product C32011 --duplex off|bogen.pdf|1|sides=one-sided
CASES

# A series: the rows in their order, as one job, the same as --one-pdf writes.
cp "$serial_project" "$folder/serie.kxp"
printf 'Anna\nBernd\nClara\n' >"$folder/namen.csv"
"$batch" link "$folder/serie.kxp" --csv "$folder/namen.csv" --map Name=1 -o "$folder/serie._cv" \
  >/dev/null
"$batch" serial "$folder/serie.kxp" --link "$folder/serie._cv" --one-pdf "$folder/serie.pdf" \
  --quiet >/dev/null
said=$("$batch" serial "$folder/serie.kxp" --link "$folder/serie._cv" --print --printer karten \
  --quiet) || fail "series: exit $?"
job=$(sed -n 's/^3 Zeilen auf 3 Seiten an „karten“ gesendet (Auftrag \([0-9]*\))\.$/\1/p' <<<"$said")
[[ -n $job ]] || fail "series: said '$said'"
arrived "$job"
cmp -s <(stamped "$folder/out/job-$job.pdf") <(stamped "$folder/serie.pdf") ||
  fail "series: the printed PDF is not the --one-pdf file"
[[ $(pdftotext "$folder/out/job-$job.pdf" - | tr -d '\f' | grep -E '^(Anna|Bernd|Clara)$' | tr '\n' ' ') == \
  "Anna Bernd Clara " ]] || fail "series: rows out of order"
[[ -z $(find "${TMPDIR:-/tmp}" -maxdepth 1 -name 'quirabel-*' -newer "$folder/serie.pdf" 2>/dev/null) ]] ||
  fail "series: the scratch folder was left"

# The duplex test sheet: two A4 pages, the same as its export.
said=$("$batch" print --duplex-test A4 --printer karten --duplex long) || fail "duplex test: exit $?"
job=$(sed -n 's/^Probedruck Duplex: Auftrag \([0-9]*\) gesendet\.$/\1/p' <<<"$said")
[[ -n $job ]] || fail "duplex test: said '$said'"
arrived "$job"
"$batch" export --duplex-test A4 -o "$folder/probe.pdf"
cmp -s <(stamped "$folder/out/job-$job.pdf") <(stamped "$folder/probe.pdf") ||
  fail "duplex test: not the export's"
[[ $(pdfinfo "$folder/probe.pdf" | sed -n 's/^Pages: *//p') == 2 ]] || fail "duplex test: pages"
qpdf --check "$folder/probe.pdf" >/dev/null || fail "duplex test: qpdf --check"

# What cannot print says why, exits 1 and sends nothing; a service that is not there is told
# at once.
jobs_before=$(find "$folder/out" -name 'job-*.pdf' | wc -l)
while IFS='|' read -r name server printer message; do
  start=$SECONDS
  if said=$(CUPS_SERVER=$server "$batch" print "$folder/karte.kxp" --printer "$printer" 2>&1); then
    fail "$name: printed"
  fi
  grep -q "$message" <<<"$said" || fail "$name: said '$said'"
  ((SECONDS - start < 10)) || fail "$name: took $((SECONDS - start)) s"
done <<CASES
unknown printer|$CUPS_SERVER|gibt-es-nicht|Den Drucker „gibt-es-nicht“ gibt es nicht
no service|$folder/nowhere.sock|karten|Kein Druckdienst erreichbar
CASES
sleep 0.5
[[ $(find "$folder/out" -name 'job-*.pdf' | wc -l) -eq $jobs_before ]] || fail "a refused job arrived"
[[ $("$batch" print --list-printers) == karten ]] || fail "--list-printers"
echo "print: all cases passed"
