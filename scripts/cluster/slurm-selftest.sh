#!/usr/bin/env bash
# Tries the array job script on a one-node Slurm cluster set up on this machine: installs Slurm and
# munge from Debian when missing, starts munged, slurmctld and slurmd without systemd (with a
# configuration of their own in a scratch folder), prints 4,000 rows of a business card as four
# array tasks numbered 1-4 — the numbering that lost the first block with the old snippet — lets
# the dependent check job verify the series, and stops every daemon it started.
#
#   scripts/cluster/slurm-selftest.sh [BATCH]     (as root, on Debian 12)
#
# BATCH is the batch tool to use (default: $QUIRABEL_BATCH, else build/bin/quirabel-batch, built if
# missing). Exit 0 when the series is complete and every daemon it started has stopped.
set -euo pipefail
cd "$(dirname "$0")/../.."
here=$PWD

if [[ $(id -u) -ne 0 ]]; then
  echo "slurm-selftest: needs root (it starts munged, slurmctld and slurmd)" >&2
  exit 2
fi
for p in slurm-wlm munge; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends slurm-wlm munge
    break
  fi
done

batch=${1:-${QUIRABEL_BATCH:-build/bin/quirabel-batch}}
if [[ ! -x "$batch" ]]; then
  scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target quirabel-batch
fi
batch=$(readlink -f "$batch")

# Slurm's daemons run as root here and hand jobs to the slurm user's rights only where asked;
# the scratch folder must be reachable by both.
work=$(mktemp -d /tmp/quirabel-slurm.XXXXXX)
chmod 755 "$work"
started=()
# Stops every daemon this script started and checks that none is left; a daemon that outlives
# its kill turns a passed run into a failed one.
stop_all() {
  local code=$? pid left=()
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  sleep 0.2
  for pid in "${started[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then left+=("$pid"); fi
  done
  rm -rf "$work"
  if ((${#left[@]})); then
    echo "slurm-selftest: still running after the test: ${left[*]}" >&2
    code=1
  fi
  exit "$code"
}
trap stop_all EXIT
# Each process of a daemon by itself (munged runs as more than one).
note_started() {
  local pids
  mapfile -t pids < <(pgrep -x "$1")
  started+=("${pids[@]}")
}

# munge: reuse a running one, else start it with a fresh key.
if ! pgrep -x munged >/dev/null; then
  [[ -s /etc/munge/munge.key ]] || mungekey --create --keyfile=/etc/munge/munge.key
  chown munge:munge /etc/munge/munge.key
  chmod 400 /etc/munge/munge.key
  install -d -o munge -g munge -m 755 /run/munge
  install -d -o munge -g munge -m 700 /var/lib/munge /var/log/munge
  runuser -u munge -- munged
  for _ in $(seq 50); do pgrep -x munged >/dev/null && break; sleep 0.1; done
  note_started munged
fi
munge -n | unmunge >/dev/null

node=$(hostname -s)
cpus=$(nproc)
mkdir -p "$work/state" "$work/spool" "$work/log"
export SLURM_CONF="$work/slurm.conf"
cat >"$SLURM_CONF" <<CONF
ClusterName=quirabel-test
SlurmctldHost=$node
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
SlurmctldPort=16817
SlurmdPort=16818
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
NodeName=$node CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -c -f "$SLURM_CONF"
for _ in $(seq 100); do [[ -s "$work/slurmctld.pid" ]] && break; sleep 0.1; done
started+=("$(cat "$work/slurmctld.pid")")
slurmd -f "$SLURM_CONF"
for _ in $(seq 100); do [[ -s "$work/slurmd.pid" ]] && break; sleep 0.1; done
started+=("$(cat "$work/slurmd.pid")")
for _ in $(seq 300); do
  sinfo -h -o %T 2>/dev/null | grep -q -E '^(idle|mixed|allocated)' && break
  sleep 0.2
done
sinfo

# A business card with one data field, 4,000 rows of names, the link file beside them.
data="$work/data"
mkdir -p "$data"
cp scripts/cluster/visitenkarte.kxp "$data/karte.kxp"
for i in $(seq 4000); do echo "Kunde $i;Straße $i"; done >"$data/kunden.csv"
QUIRABEL_HOME="$work/home" "$batch" link "$data/karte.kxp" --csv "$data/kunden.csv" \
  --map Name=1 -o "$data/karte._cv" >/dev/null
chmod -R a+rwX "$work"

out="$data/serie"
mkdir -p "$out"
export QUIRABEL_BATCH=$batch QUIRABEL_HOME="$work/home"
array=$(sbatch --parsable --array=1-4 --chdir="$out" --output="$out/teil-%a.out" \
  scripts/cluster/serial-array.sbatch "$data/karte.kxp" "$data/karte._cv" "$out" 1000)
array=${array%%;*}
check=$(sbatch --parsable --dependency="afterany:$array" --chdir="$out" \
  --output="$out/pruefung.out" scripts/cluster/serial-array.sbatch verify "$data/karte._cv" "$out")
check=${check%%;*}
echo "slurm-selftest: array job $array, check job $check"
for _ in $(seq 1800); do
  [[ -z "$(squeue -h -j "$array,$check" 2>/dev/null)" ]] && break
  sleep 1
done
pdfs=$(find "$out" -name '*.pdf' | wc -l)
echo "slurm-selftest: $pdfs PDF files"
cat "$out/pruefung.out"
state=$(sacct -n -X -j "$check" -o State 2>/dev/null | head -1 | tr -d ' ' || true)
if [[ "$pdfs" -eq 4000 ]] && tail -1 "$out/pruefung.out" | grep -q '^Serie vollständig'; then
  echo "slurm-selftest: passed"
  cd "$here"
  exit 0
fi
echo "slurm-selftest: FAILED ${state}" >&2
tail -n 20 "$work/log/slurmctld.log" "$work/log/slurmd.log" "$out"/teil-*.out >&2 || true
exit 1
