#!/usr/bin/env bash
# Times vorkan-cli verifying a checksum manifest against the tools people check manifests
# with: sha256sum -c and hashdeep's audit, on a few large files and on many 4 KiB files, and
# measures vorkan-cli's peak memory. The large files' throughput is also set against the
# lesser of the device's (fio, past the cache) and the cores' (cores x openssl speed of
# SHA-256 on 1 MiB blocks). The page cache is dropped before every timed run (the programs
# and their libraries stay mapped in memory, bench_tool hold); each round runs every program once, in an order that rotates from round to round, and the median counts.
# Needs root (to drop the page cache), GNU time, sha256sum and hashdeep; fio is optional.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bench=manifest_bench
. "$repo/bench/lib.sh"
cli=$repo/build/app/vorkan-cli
base=$repo/build
runs=5
large_count=2
large_mib=1024
small_count=20000
keep=0

usage() {
  cat <<USAGE
usage: bench/manifest_bench.sh [options]
  --dir DIR          where to build the trees (default: a temporary directory below build/)
  --cli PATH         the vorkan-cli to time (default: build/app/vorkan-cli)
  --runs N           timed runs of each program per case; the median counts (default 5)
  --large-count N    number of large files (default 2)
  --large-mib N      size of each large file in MiB (default 1024)
  --small-count N    number of 4 KiB files (default 20000)
  --small            a quick smoke run: 2 x 64 MiB, 2000 small files, 3 runs
  --keep             leave the trees in place
USAGE
}

while [ $# -gt 0 ]; do
  case $1 in
    --dir) base=$2; shift ;;
    --cli) cli=$2; shift ;;
    --runs) runs=$2; shift ;;
    --large-count) large_count=$2; shift ;;
    --large-mib) large_mib=$2; shift ;;
    --small-count) small_count=$2; shift ;;
    --small) large_mib=64; small_count=2000; runs=3 ;;
    --keep) keep=1 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done

[ "$(id -u)" -eq 0 ] || { echo "manifest_bench: needs root to drop the page cache" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "manifest_bench: needs GNU time (package time)" >&2; exit 2; }
[ -x "$cli" ] || { echo "manifest_bench: no vorkan-cli at $cli (build first)" >&2; exit 2; }
command -v hashdeep >/dev/null || { echo "manifest_bench: needs hashdeep" >&2; exit 2; }
command -v fio >/dev/null || echo "manifest_bench: fio is missing (package fio); no device figure" >&2

make_work_dir vorkan-mbench
build_bench_tool

echo "building the trees and their manifests in $work ..."
make_large_files "$large_count" "$large_mib"
"$tool" make "$work/small" "$small_count" 4096
for t in large small; do
  (cd "$work/$t" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$work/$t.sha256"
  (cd "$work/$t" && hashdeep -c sha256 -r -l .) >"$work/$t.hashdeep"
done
sync
hold_programs "$cli" sha256sum hashdeep date /usr/bin/time fio

p_vorkan() { "$cli" --dir "$work/$1" --verify "$work/$1.sha256"; }
p_plain() { "$cli" --dir "$work/$1"; }
p_sha256sum() { (cd "$work/$1" && sha256sum -c --quiet "$work/$1.sha256"); }
p_hashdeep() { (cd "$work/$1" && hashdeep -a -k "$work/$1.hashdeep" -r -l .); }

fio_seconds() {
  local names
  names=$(cd "$work/large" && ls | paste -sd:)
  fio --name=large --directory="$work/large" --filename="$names" --readonly --rw=read --bs=1M --iodepth=8 \
      --direct=1 --ioengine=io_uring --file_service_type=sequential --size="$((large_count * large_mib))M" \
      --output-format=terse --terse-version=3 2>/dev/null | awk -F';' '{ printf "%.3f\n", $9 / 1000 }'
}

mkdir "$work/times"
run_one() {
  local name=$1 tree=$2
  if [ "$name" = fio ]; then
    drop_caches
    fio_seconds >>"$work/times/${name}_$tree"
  else
    timed "p_$name" "$tree" >>"$work/times/${name}_$tree"
  fi
}

compare() {
  local tree=$1; shift
  local programs=("$@") n=$# run i
  for run in $(seq 1 "$runs"); do
    for i in $(seq 0 $((n - 1))); do
      run_one "${programs[$(((i + run) % n))]}" "$tree"
    done
  done
}

med() { median <"$work/times/$1"; }

peak_rss_mib() {
  local out=$work/rss.txt
  /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 || true
  awk '{ printf "%.1f", $1 / 1024 }' <"$out"
}

echo "timing ($runs rounds, medians, cache dropped before every run) ..."
large=(vorkan sha256sum hashdeep plain)
if command -v fio >/dev/null; then large+=(fio); fi
compare large "${large[@]}"
compare small vorkan sha256sum hashdeep plain

cores=$(nproc)
sha_speed=$(openssl speed -evp sha256 -bytes 1048576 -seconds 2 2>/dev/null | awk '/^sha256/ { sub(/k$/, "", $NF); print $NF * 1000 }')
large_bytes=$((large_count * large_mib * 1024 * 1024))
rss_large=$(drop_caches; peak_rss_mib "$cli" --dir "$work/large" --verify "$work/large.sha256")
rss_small=$(drop_caches; peak_rss_mib "$cli" --dir "$work/small" --verify "$work/small.sha256")

awk -v vl="$(med vorkan_large)" -v sl="$(med sha256sum_large)" -v hl="$(med hashdeep_large)" \
    -v pl="$(med plain_large)" -v fl="$( [ -f "$work/times/fio_large" ] && med fio_large || echo 0)" \
    -v vs="$(med vorkan_small)" -v ss="$(med sha256sum_small)" -v hs="$(med hashdeep_small)" \
    -v ps="$(med plain_small)" -v bytes="$large_bytes" -v cores="$cores" -v sha="$sha_speed" \
    -v lc="$large_count" -v lm="$large_mib" -v sc="$small_count" -v rl="$rss_large" -v rs="$rss_small" 'BEGIN {
  printf "large files (%d x %d MiB):\n", lc, lm
  printf "  vorkan-cli --verify   %8.3f s   (%.0f MB/s)\n", vl, bytes / vl / 1e6
  printf "  vorkan-cli, no manifest %6.3f s\n", pl
  printf "  sha256sum -c          %8.3f s\n", sl
  printf "  hashdeep -a           %8.3f s\n", hl
  printf "  vorkan / sha256sum -c: %.3f   (target: at most 0.25)\n", vl / sl
  printf "  vorkan / hashdeep -a:  %.3f   (target: at most 0.5)\n", vl / hl
  device = fl > 0 ? bytes / fl : 0; cpu = cores * sha
  lesser = (device > 0 && device < cpu) ? device : cpu
  printf "  device (fio) %.0f MB/s, cores (%d x openssl sha256) %.0f MB/s\n", device / 1e6, cores, cpu / 1e6
  printf "  throughput / lesser of them: %.3f   (target: at least 0.7)\n", bytes / vl / lesser
  printf "  peak RSS %s MiB\n", rl
  printf "small files (%d x 4 KiB):\n", sc
  printf "  vorkan-cli --verify   %8.3f s\n", vs
  printf "  vorkan-cli, no manifest %6.3f s\n", ps
  printf "  sha256sum -c          %8.3f s\n", ss
  printf "  hashdeep -a           %8.3f s\n", hs
  printf "  vorkan / sha256sum -c: %.3f   (target: at most 0.3)\n", vs / ss
  printf "  peak RSS %s MiB   (target: below 64)\n", rs
}'
