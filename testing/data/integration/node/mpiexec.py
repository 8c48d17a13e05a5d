#!/bin/bash
# The launcher's stand-in: records its arguments and its own process id, writes to both console
# streams with a pause between (so that the console is followed while it runs), and returns 5.
calls=$(dirname "$0")/../../calls
printf '%s\n' "$@" >"$calls/mpiexec.args"
echo $$ >"$calls/mpiexec.self"
echo "stand-in mpiexec: $# arguments"
sleep 1
echo "stand-in mpiexec: to standard error" >&2
echo "stand-in mpiexec: done"
exit 5
