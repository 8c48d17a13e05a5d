#!/bin/bash
# Makes the Debian package of a Linux build with cpack, installs it on this machine with dpkg, checks the
# program and its manual page, builds the consumer program against the installed package (CMake's
# find_package and pkg-config, both from the system's default places), runs both, and removes the
# package again.
#
#   check-deb.sh BUILD_FOLDER CONSUMER_SOURCE CXX_COMPILER
#
# Exit code 77 (skipped): not root, or a zep3dtool package that this test did not install is present.
set -uo pipefail
build=$1
consumer=$2
cxx=$3

if [ "$(id -u)" != 0 ]; then
    echo "installing a package needs root"
    exit 77
fi
if dpkg-query -W -f='${Status}' zep3dtool 2>/dev/null | grep -q 'installed'; then
    echo "a zep3dtool package is installed on this machine already; the test does not replace it"
    exit 77
fi

work=$(mktemp -d)
installed=no
cleanup() {
    [ "$installed" = yes ] && dpkg --purge zep3dtool >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
set -e

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/package/zep3dtool_*_amd64.deb)
dpkg-deb --field "$deb" Depends | grep -q 'libssh2-1' || { echo "the package does not depend on libssh2"; exit 1; }

installed=yes
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
for f in /usr/bin/zep3dtool /usr/lib/libZEP3DTool.so.1 /usr/lib/libZEPSSH2Tool.so /usr/include/zep3d/ZEPTools.h \
         /usr/lib/cmake/ZEP3DTool/ZEP3DToolConfig.cmake /usr/lib/pkgconfig/zep3dtool.pc \
         /usr/share/man/man1/zep3dtool.1.gz /usr/share/doc/zep3dtool/README.md; do
    [ -e "$f" ] || { echo "not installed: $f"; exit 1; }
done
[ "$(zep3dtool --help | head -1)" = "usage: zep3dtool <command> [options]" ] ||
    { echo "zep3dtool --help from the package does not run"; exit 1; }
zcat /usr/share/man/man1/zep3dtool.1.gz | grep -q '^\.TH ZEP3DTOOL "1"' || { echo "no manual page header"; exit 1; }
zcat /usr/share/man/man1/zep3dtool.1.gz | grep -q 'zep3dtool account set' ||
    { echo "the manual page lacks the commands"; exit 1; }

mkdir -p "$work/project/Analysis/Run01"
printf '<TASKMANAGER>\r\nIDTaskMode=0\r\nValueNoTask=4\r\n</TASKMANAGER>\r\n' >"$work/project/Analysis/Run01/Demo01.cmx"

# find_package(ZEP3DTool) and pkg-config, with no path given: the system's places.
cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_CXX_COMPILER="$cxx" >"$work/configure.log" ||
    { cat "$work/configure.log"; exit 1; }
grep -q 'ZEP3DTool_DIR:PATH=/usr/lib/cmake/ZEP3DTool' "$work/cmake-build/CMakeCache.txt" ||
    { echo "find_package did not take the installed package"; exit 1; }
cmake --build "$work/cmake-build" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
"$work/cmake-build/consumer" "$work/project" >/dev/null
# shellcheck disable=SC2046
"$cxx" -std=c++17 "$consumer/consumer.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs zep3dtool)
"$work/consumer-pc" "$work/project" >/dev/null

installed=no
dpkg --purge zep3dtool >/dev/null
[ ! -e /usr/lib/libZEP3DTool.so.1 ] || { echo "the package left its library behind"; exit 1; }
echo "Debian package: installed, find_package and pkg-config consumers built and ran, removed"
