#!/usr/bin/env bash
# Whole-process times of enciphering and deciphering a 256 MiB file that is in the page cache:
# zep3dtool encrypt / decrypt (AES-128 CBC) against cp of the same file and openssl enc -aes-128-cbc
# (with the processor's AES instructions). Each figure is the median wall-clock time of RUNS runs;
# every run writes a new file (the output of the run before is removed first, untimed).
set -euo pipefail

tool=${1:?usage: file_times.sh ZEP3DTOOL [RUNS]}
runs=${2:-5}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

head -c $((256 << 20)) /dev/urandom >"$dir/plain"
key='sixteen letters!'
hexkey=$(printf %s "$key" | od -An -tx1 | tr -d ' \n')
iv=00000000000000000000000000000000
"$tool" encrypt --no-progress --key "$key" "$dir/plain" "$dir/ours.enc" >/dev/null
openssl enc -aes-128-cbc -K "$hexkey" -iv "$iv" -in "$dir/plain" -out "$dir/openssl.enc"
cat "$dir/plain" "$dir/ours.enc" "$dir/openssl.enc" >/dev/null

# Median wall-clock seconds of `runs` runs of the command, each after removing OUTPUT.
median() {
    local output=$1
    shift
    for _ in $(seq "$runs"); do
        rm -f "$output"
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        echo $(((end - start) / 1000))
    done | sort -n | sed -n "$(((runs + 1) / 2))p"
}

copy=$(median "$dir/copy" cp "$dir/plain" "$dir/copy")
ours_enc=$(median "$dir/out" "$tool" encrypt --no-progress --key "$key" "$dir/plain" "$dir/out")
openssl_enc=$(median "$dir/out" openssl enc -aes-128-cbc -K "$hexkey" -iv "$iv" -in "$dir/plain" -out "$dir/out")
ours_dec=$(median "$dir/out" "$tool" decrypt --no-progress --key "$key" "$dir/ours.enc" "$dir/out")
openssl_dec=$(median "$dir/out" openssl enc -d -aes-128-cbc -K "$hexkey" -iv "$iv" -in "$dir/openssl.enc" \
    -out "$dir/out")
awk -v cp="$copy" -v oe="$ours_enc" -v se="$openssl_enc" -v od="$ours_dec" -v sd="$openssl_dec" 'BEGIN {
    printf "%-32s %7.3f s\n", "cp", cp / 1e6
    printf "%-32s %7.3f s  %5.2fx cp\n", "zep3dtool encrypt", oe / 1e6, oe / cp
    printf "%-32s %7.3f s  %5.2fx cp\n", "openssl enc -aes-128-cbc", se / 1e6, se / cp
    printf "%-32s %7.3f s  %5.2fx cp\n", "zep3dtool decrypt", od / 1e6, od / cp
    printf "%-32s %7.3f s  %5.2fx cp\n", "openssl enc -d -aes-128-cbc", sd / 1e6, sd / cp
    printf "zep3dtool / openssl: encrypt %.2fx, decrypt %.2fx\n", oe / se, od / sd
}'
