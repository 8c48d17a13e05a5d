#!/bin/bash
# Fetches and unpacks the source of a Debian package, with Debian's patches applied, from the archive
# that this machine already uses: its apt sources are copied as deb-src entries into an apt state of the
# build's own, so the system's package lists are left as they are. No other download is made.
#   debian-source.sh STATE_DIR PACKAGE DEST_DIR
# DEST_DIR receives the unpacked source tree (replaced when it exists).
set -euo pipefail
state=$1 package=$2 dest=$3
mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/download"
state=$(cd "$state" && pwd)

sources=$state/sources.list
if [ ! -s "$sources" ]; then
    {
        # One-line entries ("deb URI SUITE COMPONENTS"), then deb822 files.
        for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$file" ] && sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$file"
        done
        for file in /etc/apt/sources.list.d/*.sources; do
            [ -f "$file" ] || continue
            awk '
                /^[[:space:]]*$/ { if (uris != "" && deb) for (i in s) print "deb-src " opts uris_one " " s[i] " " comps;
                                   uris=""; deb=0; delete s; comps=""; opts=""; next }
                /^Types:/ { deb = ($0 ~ /[[:space:]]deb([[:space:]]|$)/) }
                /^URIs:/ { uris=$2; uris_one=$2 }
                /^Suites:/ { for (i = 2; i <= NF; i++) s[i] = $i }
                /^Components:/ { comps=""; for (i = 2; i <= NF; i++) comps = comps (i > 2 ? " " : "") $i }
                /^Signed-By:/ { opts="[signed-by=" $2 "] " }
                END { if (uris != "" && deb) for (i in s) print "deb-src " opts uris_one " " s[i] " " comps }
            ' "$file"
        done
    } > "$sources.new"
    [ -s "$sources.new" ] || { echo "no apt sources found on this machine" >&2; exit 1; }
    mv "$sources.new" "$sources"
fi

apt_options=(-o "Dir::Etc::SourceList=$sources" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache" -o APT::Sandbox::User=root)
if [ ! -e "$state/lists/.updated" ]; then
    apt-get "${apt_options[@]}" -q update >"$state/update.log" 2>&1 || { cat "$state/update.log" >&2; exit 1; }
    touch "$state/lists/.updated"
fi

work=$state/download/$package
rm -rf "$work" && mkdir -p "$work"
# apt checks every file it fetches against the signed source index. Some mirrors lack the .dsc of a
# security update; the two archives that it names are all that is needed.
if ! (cd "$work" && apt-get "${apt_options[@]}" -q source --download-only "$package") >"$work.log" 2>&1; then
    if ! ls "$work"/*.orig.tar.* "$work"/*.debian.tar.* >/dev/null 2>&1; then
        cat "$work.log" >&2
        exit 1
    fi
    grep '^E:' "$work.log" | sed 's/^/debian-source.sh: ignored: /' >&2 || true
fi
orig=$(ls "$work"/*.orig.tar.* | head -n 1)
debian=$(ls "$work"/*.debian.tar.* | head -n 1)
rm -rf "$dest" && mkdir -p "$dest"
tar -xf "$orig" -C "$dest" --strip-components=1
tar -xf "$debian" -C "$dest"
# Debian's patches, in the order of their series.
if [ -f "$dest/debian/patches/series" ]; then
    while read -r patch _; do
        case "$patch" in ''|'#'*) continue ;; esac
        patch -s -p1 -d "$dest" <"$dest/debian/patches/$patch"
    done <"$dest/debian/patches/series"
fi
echo "$(basename "$debian" | sed 's/\.debian\.tar\..*//') unpacked into $dest"
