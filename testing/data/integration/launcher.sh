#!/bin/sh
# A launcher that records its arguments, its working folder and (last, by a rename) its process id beside
# itself, says how many arguments it got and ends with exit code 3.
printf '%s\n' "$@" > "$0.args"
pwd -P > "$0.cwd"
echo "launcher: $# arguments"
echo $$ > "$0.tmp" && mv "$0.tmp" "$0.pid"
exit 3
