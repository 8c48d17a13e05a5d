#!/usr/bin/env bash
# Whole runs from Windows: the Windows build's whole-run test program, linked to ZEP3DTool.dll through
# its import library, run under Wine against the integration tests' servers on 127.0.0.1 (the OpenSSH
# server with its test user, whose sessions see a one-node Slurm cluster).
#
#     wine-wholerun.sh <test program> <zep3dtool.exe> <stand-in launcher> <Wine command>...
#
# The Wine command is the build's test emulator (ctest passes it); run ctest through
# testing/wine-run.sh. This script prepares the servers with ssh-server.sh and slurm-cluster.sh, starts
# them as its own children, prepares the Linux node's side (the installation's stand-in scripts, the
# shared working folder owned by the test user), writes the installations' account files with
# zep3dtool.exe, runs the test program with what it needs in ZEP3D_WINRUN_* variables, and stops and
# removes everything by process id and name afterwards.
# Exit code: the test program's; 77 when the servers cannot be had here (1 in CI, where they must be).
set -uo pipefail

if [ $# -lt 4 ]; then
    echo "usage: $0 <test program> <zep3dtool.exe> <stand-in launcher> <Wine command>..." >&2
    exit 2
fi
test_program=$1
zep3dtool=$2
launcher=$3
shift 3
wine=("$@")
scripts=$(cd "$(dirname "$0")" && pwd)

# A server that cannot be had skips the test, except where servers are required.
no_server() {
    echo "no server: $*"
    case "${CI:-}" in "" | false | 0) ;; *) exit 1 ;; esac
    [ "${ZEP3D_REQUIRE_SERVERS:-}" = 1 ] && exit 1
    exit 77
}

# wait_until <seconds> <command>...: true as soon as the command succeeds.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Three TCP ports of 127.0.0.1 in a row that nothing listens on: Slurm's two and sshd's.
until base=$((20000 + RANDOM % 40000)) && ! listening $base && ! listening $((base + 1)) &&
    ! listening $((base + 2)); do :; done
ctld_port=$base slurmd_port=$((base + 1)) ssh_port=$((base + 2))

work=$(mktemp -d "${TMPDIR:-/tmp}/zep3d_winrun_XXXXXX") || exit 1
# The test user reaches the node's scripts, the job's solver and its run folders under here.
chmod 755 "$work"
pids=()
user=""
shared=""
made_root=""
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    [ -n "$user" ] && bash "$scripts/ssh-server.sh" remove-user "$user" >/dev/null 2>&1
    [ -n "$shared" ] && rm -rf "$shared"
    [ -n "$made_root" ] && rmdir "$made_root" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
# start <log file> <command>...: a daemon as this script's child, stopped by its process id at the end.
start() {
    local log=$1
    shift
    "$@" </dev/null >"$log" 2>&1 &
    pids+=($!)
}

# ---- The one-node Slurm cluster --------------------------------------------------------------------
slurm=$work/slurm
output=$(bash "$scripts/slurm-cluster.sh" prepare "$slurm" "$ctld_port" "$slurmd_port" 2>&1) ||
    no_server "$output"
node=$(sed -n 's/^node=//p' <<<"$output")
export SLURM_CONF=$slurm/slurm.conf
munge=$slurm/munge
# setpriv executes munged in place, so the process id is munged's own.
start "$slurm/log/munged.out" setpriv --reuid=munge --regid=munge --clear-groups /usr/sbin/munged -F \
    --socket="$munge/munge.socket.2" --log-file="$munge/munged.log" --pid-file="$munge/munged.pid" \
    --seed-file="$munge/munged.seed"
munge_ok() { munge -n --socket="$munge/munge.socket.2" | unmunge --socket="$munge/munge.socket.2"; }
wait_until 10 munge_ok || no_server "munged did not start: $(tail -3 "$slurm/log/munged.out")"
start "$slurm/log/slurmctld.out" /usr/sbin/slurmctld -D -f "$SLURM_CONF"
ctld_up() { scontrol ping | grep -q "is UP"; }
wait_until 20 ctld_up || no_server "slurmctld did not come up: $(scontrol ping 2>&1)"
start "$slurm/log/slurmd.out" /usr/sbin/slurmd -D -f "$SLURM_CONF"
node_idle() { [ "$(sinfo -h -N -o %T)" = idle ]; }
wait_until 30 node_idle || no_server "the node did not become idle: $(sinfo -h -N -o %T 2>&1)"
cpus=$(sinfo -h -N -o %c)

# ---- The OpenSSH server, whose sessions see the cluster ----------------------------------------------
user=zepwin$$
password=Zep-Win-Pw-24680
sshd=$work/sshd
output=$(bash "$scripts/ssh-server.sh" prepare "$sshd" "$ssh_port" "$user" "$password" 2>&1) ||
    no_server "$output"
home=$(sed -n 's/^home=//p' <<<"$output")
echo "SetEnv SLURM_CONF=$SLURM_CONF" >>"$sshd/sshd_config"
# sshd refuses to re-execute itself from a relative path.
start "$sshd/sshd.log" /usr/sbin/sshd -D -e -f "$sshd/sshd_config"
wait_until 10 listening "$ssh_port" || no_server "sshd did not start listening: $(tail -5 "$sshd/sshd.log")"

# ---- The Linux node's side ---------------------------------------------------------------------------
# The node's installation: stand-ins for the MPD and launcher scripts that record their calls in calls/.
data=$scripts/../data/integration
mkdir -p "$work/node/IntelMPI" "$work/calls"
install -m 755 "$data"/node/*.py "$work/node/IntelMPI/"
chown "$user:" "$work/calls"

# The shared working folder, which the node sees at the same path as this machine's drive Z:.
root=/ZEP_WorkingFolder
if [ ! -e "$root" ]; then
    mkdir -m 755 "$root" || no_server "cannot make $root"
    made_root=$root
fi
shared=$root/winrun_$user
rm -rf "$shared"
# The run folders belong to the node's user, who writes the machine file and the job's output there, as
# on a share that is mapped to that user. (Wine makes folders through its server, whose file mode mask
# is not this script's, so the test program cannot make them writable for another user.)
mkdir -p "$shared/My Proj/Analysis/Run0"{1,2,3} "$work/hpc/My Proj/Analysis/Run01" &&
    chown -R "$user:" "$shared" "$work/hpc" || no_server "cannot make the run folders for $user"

# The installations on this machine: one with the test user's account and the cluster job's solver,
# one whose account has another password.
mkdir -p "$work/install/Bin" "$work/refused/Bin"
install -m 755 "$data/solver.sh" "$work/install/Bin/"
for account in "install:$password" "refused:not-the-password"; do
    folder=${account%%:*}
    if ! printf '%s\n' "${account#*:}" |
        "${wine[@]}" "$zep3dtool" account set --install "Z:${work//\//\\}\\$folder\\" --user "$user" \
            --password-stdin >"$work/account.out" 2>&1; then
        echo "zep3dtool.exe account set failed:"
        cat "$work/account.out"
        exit 1
    fi
done

# ---- The test program --------------------------------------------------------------------------------
# It starts in the work folder, so folders named without a drive letter are on drive Z: and have the
# same names on the node.
cd "$work" || exit 1
ZEP3D_WINRUN_FOLDER=$work ZEP3D_WINRUN_SHARED=$shared ZEP3D_WINRUN_SSH_PORT=$ssh_port \
    ZEP3D_WINRUN_USER=$user ZEP3D_WINRUN_USER_HOME=$home \
    ZEP3D_WINRUN_SLURM_NODE=$node ZEP3D_WINRUN_SLURM_CPUS=$cpus ZEP3D_WINRUN_LAUNCHER=$launcher \
    ZEP_HPC_HEAD_NODE=127.0.0.1:$ssh_port \
    "${wine[@]}" "$test_program"
