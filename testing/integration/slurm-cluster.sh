#!/bin/bash
# The one-node Slurm cluster of the integration tests (munge, slurmctld, slurmd), with all its state in
# one folder, its daemons on the loopback interface and a munge socket of its own, so that it meets no
# other cluster or munge daemon of the machine. The tests start the daemons themselves (so that they can
# stop them by their process ids); this script prepares.
#   slurm-cluster.sh prepare DIR CTLD_PORT SLURMD_PORT
#       writes DIR/slurm.conf, the state folders and DIR/munge (munged's socket, log, pid and seed,
#       owned by munge), and prints the line "node=<this machine's node name>".
# Exits 2 with the reason on standard output when the cluster cannot be had here.
set -eu

case "${1:-}" in
prepare)
    dir=$2 ctld_port=$3 slurmd_port=$4
    [ "$(id -u)" = 0 ] || { echo "the Slurm tests run the daemons as root"; exit 2; }
    for program in /usr/sbin/slurmctld /usr/sbin/slurmd /usr/sbin/munged; do
        [ -x "$program" ] || { echo "Slurm is not installed ($program; Debian: slurm-wlm, munge)"; exit 2; }
    done
    for program in sbatch scontrol sinfo munge unmunge setpriv; do
        command -v "$program" >/dev/null || { echo "$program is not installed"; exit 2; }
    done
    [ -f /etc/munge/munge.key ] || { echo "there is no munge key (/etc/munge/munge.key)"; exit 2; }
    id munge >/dev/null 2>&1 || { echo "there is no munge user"; exit 2; }
    rm -rf "$dir"
    mkdir -p "$dir/ctld" "$dir/d" "$dir/log"
    # munged checks that its folder is its own, writable by it only, and open to its clients.
    install -d -o munge -g munge -m 0755 "$dir/munge"
    node=$(hostname -s)
    cpus=$(nproc)
    cat > "$dir/slurm.conf" <<CFG
ClusterName=zeptest
SlurmctldHost=$node(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket.2
StateSaveLocation=$dir/ctld
SlurmdSpoolDir=$dir/d
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$dir/log/jobcomp.txt
MpiDefault=none
ReturnToService=2
MinJobAge=600
SchedulerType=sched/builtin
MailProg=/bin/true
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=debug Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CFG
    echo "node=$node"
    ;;
*)
    echo "usage: $0 prepare DIR CTLD_PORT SLURMD_PORT"
    exit 1
    ;;
esac
