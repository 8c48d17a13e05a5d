#!/bin/sh
# A cluster job's solver: each task reports itself at once and again after a pause, so that output
# after the wait shows that the wait lasted until the job's end.
echo "task $SLURM_PROCID of $SLURM_NTASKS as $(id -un) args [$*] in $(pwd)"
echo "err $SLURM_PROCID" >&2
sleep 1
echo "task $SLURM_PROCID done"
