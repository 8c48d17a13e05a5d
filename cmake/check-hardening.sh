#!/bin/bash
# Checks that built binaries carry the hardening of the optimised builds.
#
#   check-hardening.sh elf FILE...   ELF programs and libraries: full RELRO (GNU_RELRO, BIND_NOW),
#                                    programs position-independent, stack canaries, checked buffer
#                                    functions (FORTIFY_SOURCE)
#   check-hardening.sh pe FILE...    Windows programs and DLLs: DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA
set -euo pipefail
kind=$1
shift
objdump=${OBJDUMP:-objdump}
failed=0
checked=0
fail() {
    echo "not hardened: $1: $2"
    failed=1
}
for file in "$@"; do
    case "$kind" in
        elf)
            readelf -lW "$file" | grep -q GNU_RELRO || fail "$file" "no GNU_RELRO segment (-z relro)"
            readelf -dW "$file" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ||
                fail "$file" "no BIND_NOW (-z now)"
            if [[ $file != *.so* ]]; then
                readelf -hW "$file" | grep -Eq 'Type:[[:space:]]+DYN' || fail "$file" "not position-independent (-pie)"
            fi
            symbols=$("$objdump" -T "$file")
            grep -q '__stack_chk_fail' <<<"$symbols" || fail "$file" "no stack canaries (-fstack-protector-strong)"
            # With _FORTIFY_SOURCE the formatted-output calls become their checked forms.
            plain=$(grep -Eo '\*UND\*.*[[:space:]](printf|fprintf|sprintf|snprintf|vsnprintf|vfprintf)$' \
                <<<"$symbols" | awk '{print $NF}' | tr '\n' ' ' || true)
            [[ -z $plain ]] || fail "$file" "unchecked $plain(_FORTIFY_SOURCE)"
            grep -Eq '__[a-z0-9_]+_chk\b' <<<"$symbols" && checked=1
            ;;
        pe)
            headers=$("$objdump" -p "$file")
            for flag in DYNAMIC_BASE NX_COMPAT HIGH_ENTROPY_VA; do
                grep -q "$flag" <<<"$headers" || fail "$file" "no $flag"
            done
            ;;
        *)
            echo "usage: check-hardening.sh elf|pe FILE..." >&2
            exit 2
            ;;
    esac
done
if [[ $kind == elf && $checked == 0 ]]; then
    echo "not hardened: no checked buffer functions in any file (_FORTIFY_SOURCE)"
    failed=1
fi
[[ $failed == 0 ]] && echo "hardened ($kind): $#"
exit "$failed"
