#!/bin/sh
# check-exports.sh NM ALLOWED LIBRARY...: fails when a shared library makes a symbol of this project
# visible that does not belong to one of the ALLOWED classes (an extended regular expression of class
# names). Symbols of the C++ runtime's templates may be visible; the library's own helpers may not.
nm=$1
allowed=$2
shift 2
status=0
for lib in "$@"; do
    if ! symbols=$("$nm" -D -C --defined-only "$lib"); then
        echo "cannot read the symbols of $lib"
        status=1
        continue
    fi
    leaks=$(printf '%s\n' "$symbols" | cut -d' ' -f3- |
        grep -E 'zep::|ZEP3DToolKit::|ZEP3DFileCrypt::|CommandHandler|CZEP' |
        grep -v -E "^(.* )?($allowed)::|for ($allowed)\$")
    if [ -n "$leaks" ]; then
        echo "$lib makes these symbols visible:"
        printf '%s\n' "$leaks"
        status=1
    fi
done
exit $status
