#!/bin/bash
# Makes the Windows ZIP of a MinGW build with cpack, unpacks it, runs its zep3dtool.exe under Wine, and
# builds the consumer program against the unpacked package with the cross compiler (its headers, CMake
# package and import libraries); the consumer, placed beside the package's DLLs as a solver is, runs
# under Wine.
#
#   check-zip.sh BUILD_FOLDER CONSUMER_SOURCE TOOLCHAIN_FILE WINE_COMMAND...
set -euo pipefail
build=$1
consumer=$2
toolchain=$3
shift 3
wine=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
zip=$(ls "$work"/package/ZEP3DTool-*-win64.zip)
(cd "$work" && cmake -E tar xf "$zip")
package=${zip%.zip}
package=$work/${package##*/}
for f in README.md bin/zep3dtool.exe bin/ZEP3DTool.dll bin/ZEPUnicodeTool.dll bin/ZEPSSH2Tool.dll \
         bin/ZEPMPITool.dll bin/ZEPHpcTool.dll bin/ZEPNetSession.dll bin/ZEPLocale.dll \
         include/zep3d/ZEPTools.h include/zep3d/Export.h lib/libZEP3DTool.dll.a \
         lib/cmake/ZEP3DTool/ZEP3DToolConfig.cmake; do
    [ -e "$package/$f" ] || { echo "not in the ZIP: $f"; exit 1; }
done

# The program finds its DLLs beside it.
help=$(cd "$work" && "${wine[@]}" "$package/bin/zep3dtool.exe" --help)
[ "$(head -1 <<<"$help")" = $'usage: zep3dtool <command> [options]\r' ] ||
    { echo "zep3dtool.exe from the ZIP does not run: $help"; exit 1; }

cmake -S "$consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DZEP3DTool_DIR="$package/lib/cmake/ZEP3DTool" >"$work/configure.log" ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
cp "$work/build/consumer.exe" "$package/bin/"

mkdir -p "$work/project/Analysis/Run01"
printf '<TASKMANAGER>\r\nIDTaskMode=0\r\nValueNoTask=4\r\n</TASKMANAGER>\r\n' >"$work/project/Analysis/Run01/Demo01.cmx"
project=Z:${work//\//\\}\\project
(cd "$work" && "${wine[@]}" "$package/bin/consumer.exe" "$project") >"$work/consumer.out" ||
    { cat "$work/consumer.out"; exit 1; }
# The arrow file is written in text mode.
grep -q $'^      vertex  0 -0.05 0\r$' "$work/project/arrow.stl" || { echo "the consumer's STL file"; exit 1; }
echo "Windows ZIP: zep3dtool.exe ran, the consumer built against it ran beside its DLLs"
