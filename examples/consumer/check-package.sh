#!/bin/bash
# Installs a build of ZEP3DTool into a temporary prefix, builds the consumer program against it twice
# (CMake's find_package and pkg-config) and runs both on a small project.
#
# In an optimised build without sanitizers it also checks the hardening of the installed binaries.
#
#   check-package.sh BUILD_FOLDER CONSUMER_SOURCE CXX_COMPILER SANITIZE(ON/OFF) [HARDENED(ON/OFF)]
set -euo pipefail
build=$1
consumer=$2
cxx=$3
sanitize=${4:-OFF}
hardened=${5:-OFF}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

flags=""
case "$sanitize" in
    ON | on | 1 | TRUE | true) flags="-fsanitize=address,undefined -fno-omit-frame-pointer" ;;
esac

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
for f in include/zep3d/ZEPTools.h lib/cmake/ZEP3DTool/ZEP3DToolConfig.cmake lib/pkgconfig/zep3dtool.pc \
         bin/zep3dtool lib/libZEP3DTool.so lib/libZEPNetSession.so lib/libZEPSSH2Tool.so; do
    [[ -e $work/prefix/$f ]] || { echo "not installed: $f"; exit 1; }
done

if [[ $hardened == ON ]]; then
    bash "$here/../../cmake/check-hardening.sh" elf "$work/prefix/bin/zep3dtool" "$work"/prefix/lib/lib*.so
fi

# A project with a task-manager file of four tasks on this machine.
mkdir -p "$work/project/Analysis/Run01"
printf '<TASKMANAGER>\r\nIDTaskMode=0\r\nValueNoTask=4\r\n</TASKMANAGER>\r\n' >"$work/project/Analysis/Run01/Demo01.cmx"

# find_package(ZEP3DTool)
cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$work/configure.log" ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/cmake-build" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
"$work/cmake-build/consumer" "$work/project"

# pkg-config
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++17 $flags "$consumer/consumer.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs zep3dtool) \
    -Wl,-rpath,"$(pkg-config --variable=libdir zep3dtool)"
"$work/consumer-pc" "$work/project" >/dev/null
echo "installed package: find_package and pkg-config consumers built and ran"
