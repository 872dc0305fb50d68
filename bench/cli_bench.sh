#!/usr/bin/env bash
# Times vorkan-cli against a plain reader of the same files and measures its peak memory.
#
# Two trees: a few large files (the complete test should read as fast as cat does) and many
# 4 KiB files in nested directories (the walk and the per-file work should cost little over
# opening and reading each file). The page cache is dropped before every timed run, runs
# of vorkan-cli and of the baseline alternate, and the median of the runs counts.
# Needs root (to drop the page cache) and GNU time.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=$repo/build/app/vorkan-cli
base=$repo/build
runs=5
large_count=4
large_mib=512
small_count=50000
rss_count=500
keep=0

usage() {
  cat <<USAGE
usage: bench/cli_bench.sh [options]
  --dir DIR          where to build the trees (default: a temporary directory below build/)
  --cli PATH         the vorkan-cli to time (default: build/app/vorkan-cli)
  --runs N           timed runs of each program per case; the median counts (default 5)
  --large-count N    number of large files (default 4)
  --large-mib N      size of each large file in MiB (default 512)
  --small-count N    number of 4 KiB files (default 50000)
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
    --small) large_count=2; large_mib=64; small_count=2000; runs=3 ;;
    --keep) keep=1 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done

[ "$(id -u)" -eq 0 ] || { echo "cli_bench: needs root to drop the page cache" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "cli_bench: needs GNU time (package time)" >&2; exit 2; }
[ -x "$cli" ] || { echo "cli_bench: no vorkan-cli at $cli (build first)" >&2; exit 2; }

mkdir -p "$base"
work=$(mktemp -d "$base/vorkan-bench.XXXXXX")
cleanup() { if [ "$keep" -eq 0 ]; then rm -rf "$work"; else echo "trees kept in $work"; fi; }
trap cleanup EXIT

tool=$work/bench_tool
cc -O2 -Wall -Wextra -Werror -o "$tool" "$repo/bench/bench_tool.c"

echo "building the trees in $work ..."
mkdir "$work/large"
for i in $(seq 1 "$large_count"); do
  dd if=/dev/urandom of="$work/large/file$i.bin" bs=1M count="$large_mib" status=none
done
"$tool" make "$work/small" "$small_count" 4096
"$tool" make "$work/rss" "$rss_count" 4096
sync

drop_caches() { sync; echo 3 > /proc/sys/vm/drop_caches; }

# Seconds one command takes after a cache drop; its output is discarded.
timed() {
  drop_caches
  local start end status=0
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || status=$?
  end=$(date +%s.%N)
  if [ "$status" -ne 0 ]; then echo "cli_bench: exit status $status from: $*" >&2; fi
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

complete_baseline() { find "$1" -type f -exec cat {} + ; }
quick_baseline() { "$tool" read2 "$1"; }

# Prints "vorkan-median baseline-median" for one case; the two programs take turns, and the
# one that goes first alternates, so neither always meets a disk that has just been busy.
compare() {
  local tree=$1 quick=$2 baseline=$3 v=() b=()
  local args=(--dir "$tree")
  [ "$quick" -eq 1 ] && args=(--quick "${args[@]}")
  for run in $(seq 1 "$runs"); do
    if [ $((run % 2)) -eq 1 ]; then
      v+=("$(timed "$cli" "${args[@]}")"); b+=("$(timed "$baseline" "$tree")")
    else
      b+=("$(timed "$baseline" "$tree")"); v+=("$(timed "$cli" "${args[@]}")")
    fi
  done
  echo "$(printf '%s\n' "${v[@]}" | median) $(printf '%s\n' "${b[@]}" | median)"
}

peak_rss_kib() {
  local out=$work/rss.txt
  /usr/bin/time -f %M -o "$out" "$cli" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$out"
}

large_bytes=$((large_count * large_mib * 1024 * 1024))
echo "timing ($runs runs each, median) ..."
read -r lv lb < <(compare "$work/large" 0 complete_baseline)
read -r sv sb < <(compare "$work/small" 0 complete_baseline)
read -r qv qb < <(compare "$work/small" 1 quick_baseline)

rss_large=$(peak_rss_kib --dir "$work/large")
rss_small=$(peak_rss_kib --dir "$work/small")
rss_few=$(peak_rss_kib --dir "$work/rss")
rss_small_quick=$(peak_rss_kib --quick --dir "$work/small")
rss_few_quick=$(peak_rss_kib --quick --dir "$work/rss")

awk -v lv="$lv" -v lb="$lb" -v sv="$sv" -v sb="$sb" -v qv="$qv" -v qb="$qb" -v bytes="$large_bytes" \
    -v lc="$large_count" -v lm="$large_mib" -v sc="$small_count" -v rc="$rss_count" \
    -v rl="$rss_large" -v rs="$rss_small" -v rf="$rss_few" -v rsq="$rss_small_quick" -v rfq="$rss_few_quick" '
function mibps(t) { return t > 0 ? bytes / 1048576 / t : 0 }
function ratio(a, b) { return b > 0 ? a / b : 0 }
BEGIN {
  printf "\nlarge files, complete test (%d x %d MiB)\n", lc, lm
  printf "  vorkan-cli %8.3f s  %7.1f MiB/s\n", lv, mibps(lv)
  printf "  cat        %8.3f s  %7.1f MiB/s\n", lb, mibps(lb)
  printf "  throughput ratio vorkan-cli / cat: %.3f   (target: at least 0.95)\n", ratio(lb, lv)
  printf "\nsmall files, complete test (%d x 4 KiB)\n", sc
  printf "  vorkan-cli %8.3f s\n  cat        %8.3f s\n", sv, sb
  printf "  time ratio vorkan-cli / cat: %.3f   (target: at most 1.2)\n", ratio(sv, sb)
  printf "\nsmall files, quick test (%d x 4 KiB)\n", sc
  printf "  vorkan-cli %8.3f s\n  read2      %8.3f s\n", qv, qb
  printf "  time ratio vorkan-cli / read2: %.3f   (target: at most 1.2)\n", ratio(qv, qb)
  printf "\npeak RSS of vorkan-cli (target: under 16 MiB, no growth with the tree)\n"
  printf "  complete test: large files %.1f MiB, %d files %.1f MiB, %d files %.1f MiB\n", rl / 1024, rc, rf / 1024, sc, rs / 1024
  printf "  quick test:    %d files %.1f MiB, %d files %.1f MiB\n", rc, rfq / 1024, sc, rsq / 1024
}'
