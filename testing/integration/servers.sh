#!/bin/bash
# The real servers of the integration tests, on the loopback interface only, with all their state in DIR:
# a one-node Slurm cluster with a munged of its own, and an OpenSSH server with a password-authenticated
# test user (bash as login shell; its sessions see the cluster). With "node", the storage node's side:
# DIR/node with the stand-in scripts, which record their calls in DIR/calls, and /ZEP_WorkingFolder/NAME.
#   servers.sh DIR [slurm] [ssh USER PASSWORD [node NAME]]
# Prints "key=value" lines, then "ready"; on SIGTERM stops its daemons and removes what it made.
# Exits 2 with the reason when a server cannot be had here.
set -u
dir=$1
shift
pids=() user="" shared="" made_root=""
cleanup() {
    local pid
    # Let the sessions of the last connections close first, so that none outlives sshd.
    [ -n "${sshd_pid:-}" ] && wait_until 3 no_children "$sshd_pid"
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    # -f: a login of the user that is still closing must not keep the account.
    [ -n "$user" ] && { userdel -r -f "$user" 2>/dev/null || userdel -f "$user"; } >/dev/null 2>&1
    [ -n "$shared" ] && rm -rf "$shared"
    # The common root only when this script made it and no one else has put anything in it.
    [ -n "$made_root" ] && rmdir "$made_root" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 0' TERM INT HUP
fail() { echo "$*"; exit 2; }
# wait_until <seconds> <command>...: true as soon as the command succeeds.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}
no_children() { [ -z "$(cat "/proc/$1/task/$1/children" 2>/dev/null)" ]; }
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# free_port <variable>: sets it to a TCP port of 127.0.0.1 that nothing listens on and that this script
# has not handed out.
taken=" "
free_port() {
    local candidate
    until candidate=$((20000 + RANDOM % 40000)) && [[ $taken != *" $candidate "* ]] &&
        ! listening $candidate; do :; done
    taken+="$candidate "
    printf -v "$1" %s "$candidate"
}
data=$(dirname "$0")/../data/integration
# fill <template> NAME=VALUE...: a configuration template of the test data with each @NAME@ replaced.
fill() {
    local text pair
    text=$(<"$data/$1")
    shift
    for pair in "$@"; do text=${text//@${pair%%=*}@/${pair#*=}}; done
    printf '%s\n' "$text"
}
# start <log file> <command>...: a daemon as this script's child.
start() {
    local log=$1
    shift
    "$@" </dev/null >"$log" 2>&1 &
    pids+=($!)
}
[ "$(id -u)" = 0 ] || fail "the integration servers need root (a test user, the Slurm daemons)"
mkdir -p "$dir" || exit 2

if [ "${1:-}" = slurm ]; then
    shift
    for program in /usr/sbin/slurmctld /usr/sbin/slurmd /usr/sbin/munged; do
        [ -x "$program" ] || fail "Slurm is not installed ($program; Debian: slurm-wlm, munge)"
    done
    for program in sbatch scontrol sinfo munge unmunge setpriv; do
        command -v "$program" >/dev/null || fail "$program is not installed"
    done
    [ -f /etc/munge/munge.key ] || fail "there is no munge key (/etc/munge/munge.key)"
    id munge >/dev/null 2>&1 || fail "there is no munge user"
    slurm=$dir/slurm munge=$dir/slurm/munge
    rm -rf "$slurm"
    mkdir -p "$slurm/ctld" "$slurm/d" "$slurm/log"
    # munged checks that its folder is its own, writable by it only, and open to its clients.
    install -d -o munge -g munge -m 0755 "$munge"
    node=$(hostname -s)
    export SLURM_CONF=$slurm/slurm.conf
    free_port ctld_port && free_port slurmd_port
    fill slurm.conf DIR="$slurm" NODE="$node" CTLD_PORT=$ctld_port SLURMD_PORT=$slurmd_port CPUS="$(nproc)" \
        >"$SLURM_CONF"
    # munged refuses to run as root with a key owned by munge; setpriv executes it in place, so the
    # process id is munged's own.
    start "$slurm/log/munged.out" setpriv --reuid=munge --regid=munge --clear-groups /usr/sbin/munged -F \
        --socket="$munge/munge.socket.2" --log-file="$munge/munged.log" --pid-file="$munge/munged.pid" \
        --seed-file="$munge/munged.seed"
    munge_ok() { munge -n --socket="$munge/munge.socket.2" | unmunge --socket="$munge/munge.socket.2"; }
    wait_until 10 munge_ok || fail "munged did not start: $(tail -3 "$slurm/log/munged.out")"
    start "$slurm/log/slurmctld.out" /usr/sbin/slurmctld -D -f "$SLURM_CONF"
    ctld_up() { scontrol ping | grep -q "is UP"; }
    wait_until 20 ctld_up || fail "slurmctld did not come up: $(scontrol ping 2>&1)"
    start "$slurm/log/slurmd.out" /usr/sbin/slurmd -D -f "$SLURM_CONF"
    node_idle() { [ "$(sinfo -h -N -o %T)" = idle ]; }
    wait_until 30 node_idle || fail "the node did not become idle: $(sinfo -h -N -o %T 2>&1)"
    printf '%s\n' "slurm_conf=$SLURM_CONF" "node=$node" "cpus=$(sinfo -h -N -o %c)"
fi

if [ "${1:-}" = ssh ]; then
    user=$2 password=$3 sshd=$dir/sshd
    free_port port
    [ -x /usr/sbin/sshd ] || fail "the OpenSSH server is not installed (/usr/sbin/sshd; Debian: openssh-server)"
    command -v ssh-keygen >/dev/null || fail "ssh-keygen is not installed"
    mkdir -p "$sshd"
    # The remote commands use echo -e, which needs bash as the login shell (dash prints the -e).
    if id "$user" >/dev/null 2>&1; then
        usermod -s /bin/bash "$user"
    else
        useradd -m -s /bin/bash "$user" || fail "cannot add the test user $user"
    fi
    echo "$user:$password" | chpasswd
    home=$(getent passwd "$user" | cut -d: -f6)
    touch "$home/.hushlogin" && chown "$user:" "$home/.hushlogin"
    # The privilege-separation folder is compiled into sshd.
    mkdir -p /run/sshd && chmod 0755 /run/sshd
    rm -f "$sshd"/hostkey*
    # Two host keys: ed25519, and ECDSA, the type that the Windows build's SSH library can check.
    ssh-keygen -q -t ed25519 -N '' -f "$sshd/hostkey"
    ssh-keygen -q -t ecdsa -b 256 -N '' -f "$sshd/hostkey_ecdsa"
    fill sshd_config DIR="$sshd" PORT="$port" USER="$user" >"$sshd/sshd_config"
    [ -n "${SLURM_CONF:-}" ] && echo "SetEnv SLURM_CONF=$SLURM_CONF" >>"$sshd/sshd_config"
    /usr/sbin/sshd -t -f "$sshd/sshd_config" || fail "sshd refuses its configuration"
    # sshd refuses to re-execute itself from a relative path.
    start "$sshd/sshd.log" /usr/sbin/sshd -D -e -f "$sshd/sshd_config"
    sshd_pid=$!
    wait_until 10 listening "$port" || fail "sshd did not start listening: $(tail -5 "$sshd/sshd.log")"
    printf '%s\n' "port=$port" "home=$home"
fi

if [ "${4:-}" = node ]; then
    mkdir -p "$dir/node/IntelMPI" "$dir/calls" && install -m 755 "$data"/node/*.py "$dir/node/IntelMPI/" &&
        chown "$user:" "$dir/calls" || fail "cannot make the node's installation"
    root=/ZEP_WorkingFolder
    [ -e "$root" ] || { mkdir -m 755 "$root" || fail "cannot make $root"; made_root=$root; }
    rm -rf "${root:?}/$5"
    mkdir "$root/$5" && shared=$root/$5 && chown "$user:" "$shared" || fail "cannot make $root/$5"
    echo "shared=$shared"
fi

echo ready
sleep infinity &
pids+=($!)
wait $!
