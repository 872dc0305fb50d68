#!/usr/bin/env bash
# Builds the archive fuzz target with clang and libFuzzer and runs it for ${FUZZ_SECONDS:-60}
# seconds on a seed corpus of archives written by mkpsk and the inputs of fuzz/corpus that once
# found a fault. Any finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}

[ -x build/tools/mkpsk ] || scripts/build.sh build
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/files" "$work/corpus" build-fuzz/corpus
printf 'abc' >"$work/files/a.txt"
printf 'mail@pelun.example\r\nhttp://software.pelun.example/\r\nhttp://www.pelun.example/\r\n' >"$work/files/url.txt"
seq 1 2000 >"$work/files/numbers.txt"
head -c 3000 /dev/urandom >"$work/files/noise.bin"
convert -size 8x8 xc:red "$work/files/red.jpg" 2>/dev/null || printf '\xff\xd8\xff\xd9' >"$work/files/red.jpg"
convert -size 4x3 xc:blue "BMP3:$work/files/blue.bmp" 2>/dev/null || printf 'BM' >"$work/files/blue.bmp"
mk=build/tools/mkpsk
f=$work/files
$mk -o "$work/corpus/one.psk" "0:A.TXT=$f/a.txt"
$mk -o "$work/corpus/urls.psk" --data-version 3 "PELUN\\LIBDATA\\PSNET\\PSURL.TXT=$f/url.txt"
$mk -o "$work/corpus/mixed.psk" "0:A.TXT=$f/a.txt" "1:N.TXT=$f/numbers.txt" "0:R.BIN=$f/noise.bin"
$mk -o "$work/corpus/pictures.psk" "P\\red.jpg=$f/red.jpg" "0:P\\blue.bmp=$f/blue.bmp" "P\\blue.jpg=$f/blue.bmp"

build-fuzz/psk_fuzz -max_total_time="$seconds" -max_len=16384 -print_final_stats=1 \
  build-fuzz/corpus "$work/corpus" fuzz/corpus
