#!/usr/bin/env bash
# Times vorkan-cli, and FileReads on its own (build/bench/reads_bench), against plain readers
# of the same files, and measures their peak memory.
#
# Two trees: a few large files (read as fast as the faster of cat and fio, whose own runtime
# counts, not its start-up) and many 4 KiB files in nested directories (against one cat fed by
# find | xargs, against 8 of them in parallel, and for the quick test against a sequential
# reader of 2 bytes per file). The page cache is dropped before every timed run (the programs
# and their libraries stay mapped in memory, so the trees are cold and the programs warm); each round
# runs every program once, in an order that rotates from round to round, and the median of
# the rounds counts. Needs root (to drop the page cache) and GNU time; fio is optional.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bench=cli_bench
. "$repo/bench/lib.sh"
cli=$repo/build/app/vorkan-cli
reads=$repo/build/bench/reads_bench
base=$repo/build
runs=5
large_count=4
large_mib=512
small_count=50000
rss_count=500
huge_count=0
keep=0

usage() {
  cat <<USAGE
usage: bench/cli_bench.sh [options]
  --dir DIR          where to build the trees (default: a temporary directory below build/)
  --cli PATH         the vorkan-cli to time (default: build/app/vorkan-cli)
  --reads PATH       the FileReads benchmark to time (default: build/bench/reads_bench)
  --runs N           timed runs of each program per case; the median counts (default 5)
  --large-count N    number of large files (default 4)
  --large-mib N      size of each large file in MiB (default 512)
  --small-count N    number of 4 KiB files (default 50000)
  --huge-count N     also measure peak memory on a tree of N files (default: none)
  --small            a quick smoke run: 2 x 64 MiB, 2000 small files, 3 runs
  --keep             leave the trees in place
USAGE
}

while [ $# -gt 0 ]; do
  case $1 in
    --dir) base=$2; shift ;;
    --cli) cli=$2; shift ;;
    --reads) reads=$2; shift ;;
    --runs) runs=$2; shift ;;
    --large-count) large_count=$2; shift ;;
    --large-mib) large_mib=$2; shift ;;
    --small-count) small_count=$2; shift ;;
    --huge-count) huge_count=$2; shift ;;
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
[ -x "$reads" ] || { echo "cli_bench: no reads_bench at $reads; FileReads is not timed" >&2; reads=; }
command -v fio >/dev/null || echo "cli_bench: fio is missing (package fio); large files against cat only" >&2

make_work_dir vorkan-bench
build_bench_tool

echo "building the trees in $work ..."
make_large_files "$large_count" "$large_mib"
"$tool" make "$work/small" "$small_count" 4096
"$tool" make "$work/rss" "$rss_count" 4096
[ "$huge_count" -gt 0 ] && "$tool" make "$work/huge" "$huge_count" 4096
sync
hold_programs "$cli" ${reads:+"$reads"} "$tool" find xargs cat head date /usr/bin/time fio

# The programs of each case; each prints nothing that counts.
p_vorkan_large() { "$cli" --dir "$work/large"; }
p_cat_large() { find "$work/large" -type f -exec cat {} + ; }
p_fio_large() { :; } # timed by fio itself, see run_one
p_reads_large() { "$reads" "$work/large"; }
p_vorkan_small() { "$cli" --dir "$work/small"; }
p_cat_small() { find "$work/small" -type f -print0 | xargs -0 cat; }
p_cat8_small() { find "$work/small" -type f -print0 | xargs -0 -P 8 -n 64 cat; }
p_reads_small() { "$reads" "$work/small"; }
p_vorkan_quick() { "$cli" --quick --dir "$work/small"; }
p_quick_small() { p_vorkan_quick; } # in the complete test's rounds, for the ratio of the two
p_read2_quick() { "$tool" read2 "$work/small"; }
p_head_quick() { find "$work/small" -type f -print0 | xargs -0 head -qc 2; }
p_floor_small() { :; } # timed by fio itself, see run_one
# The statuses of every entry, and nothing of the data: what a test must have read before the
# first file's data, since it counts the tree first.
p_meta_small() { find "$work/small" -size +0 -printf ''; }
p_reads_quick() { "$reads" --quick "$work/small"; }

# fio reads the large files one after another, 1 MiB requests 8 deep, past the cache; its
# own runtime counts.
fio_seconds() {
  local names
  names=$(cd "$work/large" && ls | paste -sd:)
  fio --name=large --directory="$work/large" --filename="$names" --readonly --rw=read --bs=1M --iodepth=8 \
      --direct=1 --ioengine=io_uring --file_service_type=sequential --size="$((large_count * large_mib))M" \
      --output-format=terse --terse-version=3 2>/dev/null | awk -F';' '{ printf "%.3f\n", $9 / 1000 }'
}

# The device's floor for the small files: as many random 4 KiB reads as there are files, 64
# in flight, past the cache, spread over the large files; fio's own runtime counts.
fio_floor_seconds() {
  local names
  names=$(cd "$work/large" && ls | paste -sd:)
  fio --name=floor --directory="$work/large" --filename="$names" --readonly --rw=randread --bs=4k --iodepth=64 \
      --number_ios="$small_count" --direct=1 --ioengine=io_uring --size="$((large_count * large_mib))M" \
      --output-format=terse --terse-version=3 2>/dev/null | awk -F';' '{ printf "%.3f\n", $9 / 1000 }'
}

# Runs one program after a cache drop and appends its seconds to $work/times/NAME.
run_one() {
  local name=$1
  if [ "$name" = fio_large ] || [ "$name" = floor_small ]; then
    drop_caches
    if [ "$name" = fio_large ]; then fio_seconds; else fio_floor_seconds; fi >>"$work/times/$name"
  else
    timed "p_$name" >>"$work/times/$name"
  fi
}

# One case: every round runs each program once, the first program of a round rotating.
compare() {
  local programs=("$@") n=$# run i
  for run in $(seq 1 "$runs"); do
    for i in $(seq 0 $((n - 1))); do
      run_one "${programs[$(((i + run) % n))]}"
    done
  done
}

med() { median <"$work/times/$1"; }

peak_rss_kib() {
  local out=$work/rss.txt
  /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$out"
}

large_bytes=$((large_count * large_mib * 1024 * 1024))
echo "timing ($runs rounds, medians) ..."
mkdir -p "$work/times"
large=(vorkan_large cat_large)
small=(vorkan_small quick_small cat_small cat8_small meta_small)
quick=(vorkan_quick read2_quick head_quick)
if command -v fio >/dev/null; then large+=(fio_large); small+=(floor_small); fi
if [ -n "$reads" ]; then large+=(reads_large); small+=(reads_small); quick+=(reads_quick); fi
compare "${large[@]}"
compare "${small[@]}"
compare "${quick[@]}"
for name in vorkan_large cat_large fio_large reads_large vorkan_small cat_small cat8_small reads_small \
            floor_small meta_small quick_small vorkan_quick read2_quick head_quick reads_quick; do
  if [ -s "$work/times/$name" ]; then eval "t_$name=$(med "$name")"; else eval "t_$name=0"; fi
done

rss_large=$(peak_rss_kib "$cli" --dir "$work/large")
rss_small=$(peak_rss_kib "$cli" --dir "$work/small")
rss_few=$(peak_rss_kib "$cli" --dir "$work/rss")
rss_small_quick=$(peak_rss_kib "$cli" --quick --dir "$work/small")
rss_few_quick=$(peak_rss_kib "$cli" --quick --dir "$work/rss")
rss_huge=0; rss_reads_large=0; rss_reads_small=0
[ "$huge_count" -gt 0 ] && rss_huge=$(peak_rss_kib "$cli" --dir "$work/huge")
if [ -n "$reads" ]; then
  rss_reads_large=$(peak_rss_kib "$reads" "$work/large")
  rss_reads_small=$(peak_rss_kib "$reads" "$work/small")
fi

awk -v vl="$t_vorkan_large" -v cl="$t_cat_large" -v fl="$t_fio_large" -v rl="$t_reads_large" \
    -v vs="$t_vorkan_small" -v cs="$t_cat_small" -v c8="$t_cat8_small" -v rs="$t_reads_small" \
    -v vq="$t_vorkan_quick" -v q2="$t_read2_quick" -v rq="$t_reads_quick" -v bytes="$large_bytes" \
    -v fs="$t_floor_small" -v hq="$t_head_quick" -v qs="$t_quick_small" -v mw="$t_meta_small" \
    -v lc="$large_count" -v lm="$large_mib" -v sc="$small_count" -v rc="$rss_count" -v hc="$huge_count" \
    -v ml="$rss_large" -v ms="$rss_small" -v mf="$rss_few" -v msq="$rss_small_quick" -v mfq="$rss_few_quick" \
    -v mh="$rss_huge" -v mrl="$rss_reads_large" -v mrs="$rss_reads_small" '
function mibps(t) { return t > 0 ? bytes / 1048576 / t : 0 }
function ratio(a, b) { return a > 0 && b > 0 ? a / b : 0 }
function line(name, t) { if (t > 0) printf "  %-30s %8.3f s\n", name, t }
BEGIN {
  best = (fl > 0 && fl < cl) ? fl : cl
  printf "\nlarge files, complete test (%d x %d MiB)\n", lc, lm
  line("vorkan-cli", vl); line("FileReads", rl); line("cat", cl); line("fio (its own runtime)", fl)
  printf "  throughput vorkan-cli / faster of cat and fio: %.3f   (target: at least 0.9)\n", ratio(best, vl)
  if (rl > 0) printf "  throughput FileReads / faster of cat and fio:  %.3f   (target: at least 0.9)\n", ratio(best, rl)
  printf "\nsmall files, complete test (%d x 4 KiB)\n", sc
  line("vorkan-cli", vs); line("FileReads", rs); line("find | xargs cat", cs); line("8 parallel cats", c8)
  line("device floor (fio, 64 deep)", fs)
  line("statuses only (find -size +0)", mw)
  if (fs > 0) printf "  time vorkan-cli / device floor: %.3f   (target: at most 1.5)\n", ratio(vs, fs)
  if (fs > 0) printf "  time vorkan-cli / (statuses + device floor): %.3f   (counted first, then read)\n", ratio(vs, fs + mw)
  printf "  time vorkan-cli / find|xargs cat: %.3f   (target: at most 0.5)\n", ratio(vs, cs)
  printf "  time vorkan-cli / 8 parallel cats: %.3f   (target: at most 1.0)\n", ratio(vs, c8)
  if (rs > 0) printf "  time FileReads / find|xargs cat:  %.3f   (target: at most 0.5)\n", ratio(rs, cs)
  if (rs > 0) printf "  time FileReads / 8 parallel cats:  %.3f   (target: at most 1.0)\n", ratio(rs, c8)
  printf "\nsmall files, quick test (%d x 4 KiB)\n", sc
  line("vorkan-cli", vq); line("FileReads", rq); line("sequential 2-byte reader", q2)
  line("find | xargs head -c 2", hq)
  printf "  time vorkan-cli / 2-byte reader: %.3f   (target: at most 0.5)\n", ratio(vq, q2)
  printf "  time vorkan-cli / find|xargs head -c 2: %.3f   (target: at most 0.3)\n", ratio(vq, hq)
  printf "  time quick / complete test (same rounds): %.3f   (target: at most 1.0)\n", ratio(qs, vs)
  if (rq > 0) printf "  time FileReads / 2-byte reader:  %.3f   (target: at most 0.5)\n", ratio(rq, q2)
  printf "\npeak RSS (target: under 24 MiB, no growth with the tree)\n"
  printf "  vorkan-cli complete: large files %.1f MiB, %d files %.1f MiB, %d files %.1f MiB", ml / 1024, rc, mf / 1024, sc, ms / 1024
  if (hc > 0) printf ", %d files %.1f MiB", hc, mh / 1024
  printf "\n  vorkan-cli quick:    %d files %.1f MiB, %d files %.1f MiB\n", rc, mfq / 1024, sc, msq / 1024
  if (mrl > 0) printf "  FileReads complete:  large files %.1f MiB, %d files %.1f MiB\n", mrl / 1024, sc, mrs / 1024
}'
