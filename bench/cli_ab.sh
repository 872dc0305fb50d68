#!/usr/bin/env bash
# Times two builds of vorkan-cli against each other on the same trees (a few large files and
# many 4 KiB files), alternating which runs first, with the page cache dropped before every
# run (the two programs and their libraries stay in memory); prints the median time of each
# and the ratio new / base. Needs root.
#   bench/cli_ab.sh BASE_CLI NEW_CLI [RUNS] [EXTRA NEW_CLI ARGUMENTS...]
set -euo pipefail

base_cli=$1
new_cli=$2
runs=${3:-7}
shift 3 2>/dev/null || shift $#
[ "$(id -u)" -eq 0 ] || { echo "cli_ab: needs root to drop the page cache" >&2; exit 2; }

repo=$(cd "$(dirname "$0")/.." && pwd)
bench=cli_ab
. "$repo/bench/lib.sh"
work=$(mktemp -d "$repo/build/vorkan-ab.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/large" "$work/small"
for i in 1 2; do head -c $((256 << 20)) /dev/urandom > "$work/large/f$i"; done
for d in $(seq 1 40); do
  mkdir -p "$work/small/d$d"
  for f in $(seq 1 250); do head -c 4096 /dev/urandom > "$work/small/d$d/f$f"; done
done
sync
build_bench_tool
hold_programs "$base_cli" "$new_cli" date

for tree in large small; do
  : > "$work/base.t"; : > "$work/new.t"
  for r in $(seq 1 "$runs"); do
    if [ $((r % 2)) -eq 0 ]; then
      timed "$base_cli" --dir "$work/$tree" >> "$work/base.t"
      timed "$new_cli" --dir "$work/$tree" "$@" >> "$work/new.t"
    else
      timed "$new_cli" --dir "$work/$tree" "$@" >> "$work/new.t"
      timed "$base_cli" --dir "$work/$tree" >> "$work/base.t"
    fi
  done
  b=$(median < "$work/base.t"); n=$(median < "$work/new.t")
  awk -v t="$tree" -v b="$b" -v n="$n" -v r="$runs" \
    'BEGIN { printf "%s tree (%d runs, medians): base %.3f s, new %.3f s, new / base %.3f\n", t, r, b, n, n / b }'
done
