#!/bin/sh
# Makes the zep3dtool(1) manual page from the program's own help texts with help2man: the top-level help
# is the description, and each command's help is a section of its own, so the page never drifts from
# the program.
#
#     zep3dtool-man.sh <zep3dtool> <version> <output .1.gz>
set -eu
tool=$1
version=$2
out=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# help2man takes the synopsis from a line that starts with "Usage:"; the program writes "usage:".
mkdir "$work/bin"
cat >"$work/bin/zep3dtool" <<EOF
#!/bin/sh
"$tool" "\$@" | sed '1s/^usage:/Usage:/'
EOF
chmod +x "$work/bin/zep3dtool"

# Each command's help as it is printed: backslashes and leading dots or quotes kept from troff.
{
    echo '[COMMANDS]'
    for command in run check "account set" "account show" encrypt decrypt arrows; do
        echo ".SS \"zep3dtool $command\""
        echo '.nf'
        # shellcheck disable=SC2086
        "$tool" $command --help | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
        echo '.fi'
    done
    echo '[FILES]'
    echo '.TP'
    echo '.I <install>/Bin/acc.ini'
    echo 'the cluster account of an installation (account set, account show)'
    echo '.TP'
    echo '.I <project>/Analysis/Run<ID>/<base><ID>.cmx'
    echo "a run's task-manager file (run, check); run writes the .ppp and .pwf files beside it"
} >"$work/commands.h2m"

help2man --no-info --section=1 --version-string="$version" \
    --name="prepare, start and check the parallel runs of the flow-analysis solvers" \
    --include="$work/commands.h2m" --output="$work/zep3dtool.1" "$work/bin/zep3dtool"
gzip -9 -n -c "$work/zep3dtool.1" >"$out"
