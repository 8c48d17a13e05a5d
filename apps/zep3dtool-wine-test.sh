#!/usr/bin/env bash
# zep3dtool.exe of the Windows build, run under Wine from an installation (the program with the
# library's and the companions' DLLs beside it in "bin", no PATH change), beside the Linux build's
# zep3dtool: check, account set/show, encrypt/decrypt and arrows, and the files that one writes read by
# the other byte for byte.
#
#     zep3dtool-wine-test.sh <check|account|crypt|arrows> <installation> <Linux zep3dtool> <examples>
#                            <Wine command>...
#
# The Wine command is the build's test emulator (ctest passes it). Exit code 0 passed, 1 failed,
# 77 skipped (no Linux zep3dtool, outside CI).
set -uo pipefail

scenario=$1
exe=$(cd "$2/bin" && pwd)/zep3dtool.exe || exit 1
host=$3
examples=$4
shift 4
wine=("$@")

if [ ! -x "$host" ]; then
    echo "the Linux build's zep3dtool is not at $host (cmake --build --preset release)"
    if [ -n "${CI:-}${ZEP3D_REQUIRE_SERVERS:-}" ]; then exit 1; fi
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zep3dtool_wine_XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# The Windows name of a folder of this machine (Wine's drive Z: is the root).
winpath() {
    local path
    path=$(cd "$1" && pwd) || return 1
    path=${path//\//\\}
    echo "Z:$path"
}

# win|lin <arguments>...: runs the Windows or the Linux program in $work with $work/.in as standard
# input; the exit code goes to $code, the outputs to $work/.out and $work/.err.
code=0
win() {
    (cd "$work" && "${wine[@]}" "$exe" "$@" <.in >.out 2>.err)
    code=$?
}
lin() {
    (cd "$work" && "$host" "$@" <.in >.out 2>.err)
    code=$?
}
: >"$work/.in"

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

expect_code() {
    [ "$code" = "$1" ] || fail "$2: exit code $code, expected $1 (stderr: $(tr -d '\r' <"$work/.err"))"
}

# same_text <what> <file> <text>: the file holds the text with the line ends of Windows text mode.
same_text() {
    if ! cmp -s "$2" <(printf '%s' "$3" | sed 's/$/\r/'); then
        fail "$1 differs from what was expected:"
        diff <(printf '%s' "$3" | sed 's/$/\r/' | cat -A) <(cat -A "$2") | sed 's/^/    /'
    fi
}

same_bytes() {
    cmp -s "$2" "$3" || fail "$1: $2 and $3 differ"
}

case "$scenario" in
check)
    cp -r "$examples/project" "$work/project"
    project=$(winpath "$work/project")
    run="$project/Analysis/Run01"
    win check --install 'C:\Zep\' --project "$project" --base Demo --run-id 01 --solver zep3dsolver
    expect_code 0 check
    same_text "check's output" "$work/.out" "Task-manager file     $run/Demo01.cmx
Status                1 (parallel run on one machine)
Task mode             0 (MPI processes on this machine)
Tasks                 4
Console redirection   off
Run folder            $run
Partition file        $run/Demo01.ppp
Launcher file         $run/Demo01.pwf
Launcher              C:\\Zep\\Bin\\IntelMPI\\impiexec.exe
Solver                C:\\Zep\\\\Bin\\zep3dsolver
"
    same_text "check's standard error" "$work/.err" ""
    ls "$work/project/Analysis/Run01" | grep -q -e '\.ppp$' -e '\.pwf$' && fail "check wrote run files"

    win check --project "$project" --base Demo --run-id 02
    expect_code 1 "check of a missing run"
    cmx="$project/Analysis/Run02/Demo02.cmx"
    same_text "check's output for a missing run" "$work/.out" "Status: -3301 (the task-manager file cannot be opened)
Error! Cannot find the following cmx file:
$cmx
Please check this and then rerun the analysis again
"
    same_text "check's standard error for a missing run" "$work/.err" \
        "zep3dtool check: status -3301: the task-manager file cannot be opened ($cmx)
"
    ;;

account)
    mkdir -p "$work/windows/Bin" "$work/linux/Bin"
    install=$(winpath "$work/windows")
    printf 's3cret pw\r\n' >"$work/.in"
    win account set --install "$install" --user alice --password-stdin
    expect_code 0 "account set"
    same_text "account set's output" "$work/.out" "Wrote $install\\Bin/acc.ini for user alice
"
    printf 's3cret pw\n' >"$work/.in"
    lin account set --install linux --user alice --password-stdin
    expect_code 0 "account set (Linux)"
    # The same account file on both systems: each reads the other's.
    same_bytes "the account files" "$work/windows/Bin/acc.ini" "$work/linux/Bin/acc.ini"
    head -c 40 "$work/windows/Bin/acc.ini" | grep -q $'^\\[ACCSecurity\\]\r$' ||
        fail "the account file does not start with its section"
    : >"$work/.in"
    win account show --install "$(winpath "$work/linux")"
    expect_code 0 "account show of the Linux file"
    same_text "account show's output" "$work/.out" "Account file  $(winpath "$work/linux")\\Bin/acc.ini
User name     alice
Status        1000 (the account can be read)
"
    lin account show --install windows
    expect_code 0 "account show (Linux) of the Windows file"
    grep -q '^User name     alice$' "$work/.out" || fail "the Linux program does not read the Windows account"

    win account show --install "$(winpath "$work")"
    expect_code 1 "account show without a file"
    same_text "account show's standard error without a file" "$work/.err" \
        "zep3dtool account show: the account of $(winpath "$work")\\Bin/acc.ini cannot be read: the account file does not exist (status 1004)
"
    win account set --install "$install" --user bob --force
    expect_code 1 "account set without a terminal"
    same_text "account set's standard error without a terminal" "$work/.err" \
        "zep3dtool account set: standard input is not a terminal: give the password on standard input with --password-stdin
"
    ;;

crypt)
    # Bytes that text mode would change (CR LF, a lone LF, Ctrl+Z) among pseudo-random ones, longer than
    # a 64 KiB chunk.
    LC_ALL=C awk 'BEGIN { printf "\r\n\032\n\r"; for (i = 0; i < 70000; i++) printf "%c", (i * 131 + 7) % 251 }' \
        >"$work/plain.bin"
    size=$(stat -c %s "$work/plain.bin")
    cases=("rijndael cbc zeroes 16 16|--key|sixteen letters!"
        "rijndael ecb blanks 32 24|--method|rijndael|--mode|ecb|--key-length|32|--block-size|24|--padding|blanks|--key|k"
        "blowfish cfb zeroes 56 8|--method|blowfish|--mode|cfb|--key|a much longer blowfish key"
        "tea cbc padcount 16 8|--method|tea|--padding|padcount|--key-hex|00112233445566778899aabbccddeeff")
    for entry in "${cases[@]}"; do
        IFS='|' read -r -a settings <<<"$entry"
        read -r method mode padding keylength block <<<"${settings[0]}"
        settings=("${settings[@]:1}")
        padded=$(((size + block - 1) / block * block))
        summary="$method, $mode, $padding padding, key length $keylength, block size $block"
        win encrypt "${settings[@]}" plain.bin win.enc --force
        expect_code 0 "encrypt ($summary)"
        same_text "encrypt's output ($summary)" "$work/.out" \
            "Encrypted plain.bin ($size bytes) into win.enc ($((padded + 32)) bytes): $summary
"
        lin encrypt "${settings[@]}" plain.bin lin.enc --force
        expect_code 0 "encrypt (Linux, $summary)"
        same_bytes "the files encrypted on Windows and on Linux ($summary)" "$work/win.enc" "$work/lin.enc"
        win decrypt "${settings[@]}" lin.enc win.out --force
        expect_code 0 "decrypt of the Linux file ($summary)"
        lin decrypt "${settings[@]}" win.enc lin.out --force
        expect_code 0 "decrypt (Linux) of the Windows file ($summary)"
        same_bytes "the files decrypted on Windows and on Linux ($summary)" "$work/win.out" "$work/lin.out"
        [ "$(stat -c %s "$work/win.out" 2>/dev/null)" = "$padded" ] || fail "the decrypted file's size ($summary)"
        cmp -s -n "$size" "$work/plain.bin" "$work/win.out" || fail "the round trip changed bytes ($summary)"
    done
    printf 'keep me' >"$work/keep.bin"
    win encrypt --key 'sixteen letters!' plain.bin win.enc --force
    win decrypt --key 'wrong letters 16' win.enc keep.bin --force
    expect_code 1 "decrypt with a wrong key"
    same_text "decrypt's standard error with a wrong key" "$work/.err" \
        "zep3dtool decrypt: wrong key or settings for win.enc (method, mode, padding, key, key length and block size must be those it was encrypted with)
"
    [ "$(cat "$work/keep.bin")" = "keep me" ] || fail "a wrong key changed the existing output"
    ;;

arrows)
    printf 'x1,y1,z1,x2,y2,z2\r\n0,0,0,1,0,0\r\n1,1,1,1,1,1\r\n0,0,0,0,0,2\r\n' >"$work/v.csv"
    win arrows --ratio 0.1 v.csv win.stl
    expect_code 0 arrows
    same_text "arrows' output" "$work/.out" "Wrote 2 arrows to win.stl (base ratio 0.1); left out 1 vector of length 0
"
    lin arrows --ratio 0.1 v.csv lin.stl
    expect_code 0 "arrows (Linux)"
    # The same facets, in text mode on each system.
    same_text "the STL file written on Windows" "$work/win.stl" "$(cat "$work/lin.stl")
"
    grep -q $'^      vertex  0 -0.1 0\r$' "$work/win.stl" || fail "the STL file has not the expected vertex"
    win arrows v.csv win.stl
    expect_code 1 "arrows over an existing file"
    same_text "arrows' standard error over an existing file" "$work/.err" \
        "zep3dtool arrows: win.stl exists; give --force to replace it
"
    ;;

*)
    echo "unknown scenario '$scenario'"
    exit 2
    ;;
esac

if [ "$failures" -gt 0 ]; then
    echo "zep3dtool.exe $scenario: $failures failed"
    exit 1
fi
echo "zep3dtool.exe $scenario: passed"
