#!/bin/bash
# Runs the example project with zep3dtool: copies examples/project into WORK_FOLDER/project (runs never
# write into the source tree) and starts run 01, four MPI tasks of the example solver on this machine.
#
#   demo.sh ZEP3DTOOL INSTALL_FOLDER WORK_FOLDER
set -euo pipefail
if (($# != 3)); then
    echo "usage: demo.sh ZEP3DTOOL INSTALL_FOLDER WORK_FOLDER" >&2
    exit 2
fi
tool=$1
install=$2
work=$3
source_project="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/project"

rm -rf "$work/project"
mkdir -p "$work"
cp -R "$source_project" "$work/project"

echo "\$ zep3dtool run --install $install --project $work/project --base Demo --run-id 01 --solver zep3dsolver"
exec "$tool" run --install "$install" --project "$work/project" --base Demo --run-id 01 --solver zep3dsolver
