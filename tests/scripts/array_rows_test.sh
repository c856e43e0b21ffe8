#!/usr/bin/env bash
# The rows each Slurm array task of the cluster job script prints, for the numberings Slurm
# allows: found from the task's own index alone, whatever the array's first index and step.
#   array_rows_test.sh SERIAL-ARRAY-SBATCH
set -u
script=$1
failures=0
# expect ROWS TASK MIN STEP [FIRST]: the --rows the task hands to the batch tool ("refused" when
# it stops with exit 2).
expect() {
  local want=$1 task=$2 min=$3 step=$4 got
  got=$(SLURM_ARRAY_TASK_ID=$task SLURM_ARRAY_TASK_MIN=$min SLURM_ARRAY_TASK_STEP=$step \
    QUIRABEL_BATCH=echo bash "$script" karte.kxp karte._cv serie 1000 ${5:+"$5"} 2>/dev/null)
  [[ $? -eq 2 ]] && got=refused
  got=${got##*--rows }
  if [[ "$got" != "$want" ]]; then
    echo "task $task (min $min, step $step, first ${5:-default}): got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}
expect 1-1000 1 1 1            # --array=1-4
expect 3001-4000 4 1 1
expect 4001-5000 5 1 2         # --array=1,3,5,7 (or 1-7:2)
expect 2001-3000 3 3 1         # --array=3, one task resubmitted
expect 1-1000 0 0 1 0          # --array=0-3 numbered from 0
expect 4001-5000 4 0 2 0       # --array=0-6:2
expect refused 0 0 1           # numbered from 0 without saying so
if ((failures)); then exit 1; fi
echo "array rows: 7 passed, 0 failed"
