#!/usr/bin/env bash
# Runs a command (ctest, a test program, a test script) with the Windows build's programs under Wine:
#
#     testing/wine-run.sh <build folder> <command> [arguments...]
#
# for example `testing/wine-run.sh build/mingw ctest --preset mingw -LE integration`. The Wine prefix
# lives in <build folder>/wineprefix and is made headless on first use. Wine's own helper processes
# (services, plug and play, explorer) are started here with their output sent to /dev/null and kept by a
# persistent wineserver, so that they never hold the pipes of ctest or of a test open; the server and
# every process of the prefix are ended afterwards, whatever the command's result. The command sees
# WINEPREFIX, WINEDEBUG, ZEP3D_WINE (the wine loader) and ZEP3D_WINESERVER, and its exit code is the
# script's.
set -uo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 <build folder> <command> [arguments...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
shift

# The first of the named programs found, each looked for in /usr/lib/wine and then on PATH.
find_wine_program() {
    local name
    for name in "$@"; do
        command -v "/usr/lib/wine/$name" 2>/dev/null || command -v "$name" 2>/dev/null && return 0
    done
    return 1
}
ZEP3D_WINE=${ZEP3D_WINE:-$(find_wine_program wine64 wine)} ||
    { echo "$0: wine64 is not installed (Debian: wine64)" >&2 && exit 1; }
ZEP3D_WINESERVER=${ZEP3D_WINESERVER:-$(find_wine_program wineserver64 wineserver)} ||
    { echo "$0: wineserver is not installed (Debian: wine64)" >&2 && exit 1; }
export ZEP3D_WINE ZEP3D_WINESERVER
export WINEPREFIX="$build/wineprefix"
# Module load failures (a missing DLL) are reported; everything else Wine says is not.
export WINEDEBUG=${WINEDEBUG:--all,err+module}
# No window is ever shown: Wine needs no display for console programs.
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    "$ZEP3D_WINE" wineboot --init </dev/null >/dev/null 2>&1
    "$ZEP3D_WINESERVER" -w </dev/null >/dev/null 2>&1
    [ -f "$WINEPREFIX/system.reg" ] ||
        { echo "$0: the Wine prefix $WINEPREFIX could not be made" >&2 && exit 1; }
fi

stop_wine() {
    "$ZEP3D_WINESERVER" -k </dev/null >/dev/null 2>&1
    "$ZEP3D_WINESERVER" -w </dev/null >/dev/null 2>&1
}
trap stop_wine EXIT
trap 'exit 130' INT TERM HUP

"$ZEP3D_WINESERVER" -p </dev/null >/dev/null 2>&1
"$ZEP3D_WINE" cmd /c exit </dev/null >/dev/null 2>&1

"$@"
