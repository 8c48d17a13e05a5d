#!/usr/bin/env bash
# Runs the Windows build's whole-run test program under Wine (the build's test emulator, which ctest
# passes) against the servers of servers.sh, with the node's side and the installations' account files
# prepared and named in ZEP3D_WINRUN_* variables; stops and removes everything afterwards.
# Exit code: the test program's; 77 when the servers cannot be had here (1 in CI, where they must be).
set -uo pipefail

[ $# -ge 4 ] ||
    { echo "usage: $0 <test program> <zep3dtool.exe> <stand-in launcher> <Wine command>..." >&2; exit 2; }
test_program=$1 zep3dtool=$2 launcher=$3
shift 3
wine=("$@")
scripts=$(cd "$(dirname "$0")" && pwd)

no_server() {
    echo "no server: $*"
    case "${CI:-}" in "" | false | 0) ;; *) exit 1 ;; esac
    [ "${ZEP3D_REQUIRE_SERVERS:-}" = 1 ] && exit 1
    exit 77
}

work=$(mktemp -d "${TMPDIR:-/tmp}/zep3d_winrun_XXXXXX") || exit 1
# The test user reaches the node's scripts, the job's solver and its run folders under here.
chmod 755 "$work"
supervisor=""
cleanup() {
    [ -n "$supervisor" ] && kill -TERM "$supervisor" 2>/dev/null && wait "$supervisor"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

user=zepwin$$
password=Zep-Win-Pw-24680
bash "$scripts/servers.sh" "$work" slurm ssh "$user" "$password" node "winrun_$user" </dev/null \
    >"$work/servers.log" 2>&1 &
supervisor=$!
until grep -qx ready "$work/servers.log"; do
    kill -0 "$supervisor" 2>/dev/null || { supervisor="" && no_server "$(cat "$work/servers.log")"; }
    sleep 0.2
done
value() { sed -n "s/^$1=//p" "$work/servers.log"; }

shared=$(value shared)
# The run folders belong to the node's user, as on a share mapped to that user (folders made under Wine
# get its server's file mode mask, so the test program cannot make them writable for another user).
mkdir -p "$shared/My Proj/Analysis/Run0"{1,2,3} "$work/hpc/My Proj/Analysis/Run01" &&
    chown -R "$user:" "$shared" "$work/hpc" || no_server "cannot make the run folders for $user"

# One installation with the test user's account and the job's solver, one with another password.
mkdir -p "$work/install/Bin" "$work/refused/Bin"
install -m 755 "$scripts/../data/integration/solver.sh" "$work/install/Bin/"
for account in "install:$password" "refused:not-the-password"; do
    folder=${account%%:*}
    printf '%s\n' "${account#*:}" |
        "${wine[@]}" "$zep3dtool" account set --install "Z:${work//\//\\}\\$folder\\" --user "$user" \
            --password-stdin >"$work/account.out" 2>&1 ||
        { echo "zep3dtool.exe account set failed:" && cat "$work/account.out" && exit 1; }
done

# The test program starts in the work folder, so folders named without a drive letter are on drive Z:
# and have the same names on the node.
cd "$work" || exit 1
ZEP3D_WINRUN_FOLDER=$work ZEP3D_WINRUN_SHARED=$shared ZEP3D_WINRUN_SSH_PORT=$(value port) \
    ZEP3D_WINRUN_USER=$user ZEP3D_WINRUN_USER_HOME=$(value home) \
    ZEP3D_WINRUN_SLURM_NODE=$(value node) ZEP3D_WINRUN_SLURM_CPUS=$(value cpus) \
    ZEP3D_WINRUN_LAUNCHER=$launcher \
    ZEP_HPC_HEAD_NODE=127.0.0.1:$(value port) \
    "${wine[@]}" "$test_program"
