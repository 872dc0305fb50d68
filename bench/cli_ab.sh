#!/usr/bin/env bash
# Times two builds of vorkan-cli against each other on the same trees (a few large files and
# many 4 KiB files), alternating which runs first, with the page cache dropped before every
# run; prints the median time of each and the ratio new / base. Needs root.
#   bench/cli_ab.sh BASE_CLI NEW_CLI [RUNS] [EXTRA NEW_CLI ARGUMENTS...]
set -euo pipefail

base_cli=$1
new_cli=$2
runs=${3:-7}
shift 3 2>/dev/null || shift $#
[ "$(id -u)" -eq 0 ] || { echo "cli_ab: needs root to drop the page cache" >&2; exit 2; }

repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "$repo/build/vorkan-ab.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/large" "$work/small"
for i in 1 2; do head -c $((256 << 20)) /dev/urandom > "$work/large/f$i"; done
for d in $(seq 1 40); do
  mkdir -p "$work/small/d$d"
  for f in $(seq 1 250); do head -c 4096 /dev/urandom > "$work/small/d$d/f$f"; done
done
sync

time_one() { # prints seconds
  sync; echo 3 > /proc/sys/vm/drop_caches
  local s e
  s=$(date +%s.%N)
  "$@" > /dev/null 2>&1 || true
  e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f\n", e - s }'
}
median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

for tree in large small; do
  : > "$work/base.t"; : > "$work/new.t"
  for r in $(seq 1 "$runs"); do
    if [ $((r % 2)) -eq 0 ]; then
      time_one "$base_cli" --dir "$work/$tree" >> "$work/base.t"
      time_one "$new_cli" --dir "$work/$tree" "$@" >> "$work/new.t"
    else
      time_one "$new_cli" --dir "$work/$tree" "$@" >> "$work/new.t"
      time_one "$base_cli" --dir "$work/$tree" >> "$work/base.t"
    fi
  done
  b=$(median < "$work/base.t"); n=$(median < "$work/new.t")
  awk -v t="$tree" -v b="$b" -v n="$n" -v r="$runs" \
    'BEGIN { printf "%s tree (%d runs, medians): base %.3f s, new %.3f s, new / base %.3f\n", t, r, b, n, n / b }'
done
