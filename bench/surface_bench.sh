#!/usr/bin/env bash
# Times vorkan-cli --device against fio and ddrescue on the same read-only loop device
# (direct I/O to its backing file), and measures peak memory; optionally also the mapping
# of a bad area to the files of a filesystem with many files.
#
# Each round runs the three in an order that rotates from round to round, with the page
# cache dropped before each; the median of the rounds counts. fio's own runtime counts, not
# its start-up; vorkan-cli and ddrescue are timed whole. Needs root, GNU time, fio, ddrescue.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bench=surface_bench
. "$repo/bench/lib.sh"
cli=$repo/build/app/vorkan-cli
base=$repo/build
runs=5
mib=1024
files=0
keep=0

usage() {
  cat <<USAGE
usage: bench/surface_bench.sh [options]
  --dir DIR      where to put the image (default: a temporary directory below build/)
  --cli PATH     the vorkan-cli to time (default: build/app/vorkan-cli)
  --runs N       rounds; the median counts (default 5)
  --mib N        size of the device in MiB (default 1024)
  --files N      also map a bad area on an ext4 filesystem holding N empty files and
                 measure the peak memory of that (default: not done)
  --keep         leave the image in place
USAGE
}

while [ $# -gt 0 ]; do
  case $1 in
    --dir) base=$2; shift ;;
    --cli) cli=$2; shift ;;
    --runs) runs=$2; shift ;;
    --mib) mib=$2; shift ;;
    --files) files=$2; shift ;;
    --keep) keep=1 ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done

[ "$(id -u)" -eq 0 ] || { echo "surface_bench: needs root" >&2; exit 2; }
for tool in /usr/bin/time fio ddrescue; do
  command -v "$tool" >/dev/null || { echo "surface_bench: needs $tool" >&2; exit 2; }
done

work=$(mktemp -d "$base/surface-bench.XXXXXX")
device=
mounted=
cleanup() {
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null || true
  [ -n "$device" ] && losetup -d "$device" 2>/dev/null || true
  [ "$keep" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT


# Data that is not all zeros, so no layer below can shortcut it.
head -c "$((mib << 20))" /dev/urandom >"$work/image"
device=$(losetup --find --show --read-only --direct-io=on "$work/image")
echo "surface_bench: $device over $mib MiB, $runs rounds (machine may be shared)"

time_cli() {
  rm -f "$work/cli.map"
  /usr/bin/time -f '%e %M' -o "$work/t" "$cli" --device "$device" --mapfile "$work/cli.map" >/dev/null
  read -r seconds rss <"$work/t"
  echo "$seconds" >>"$work/cli.s"
  echo "$rss" >>"$work/cli.rss"
}
time_fio() {
  fio --name=surface --filename="$device" --rw=read --bs=1M --direct=1 --ioengine=io_uring --iodepth=8 \
    --readonly --output-format=json >"$work/fio.json"
  python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); print(j["jobs"][0]["read"]["runtime"]/1000)' \
    "$work/fio.json" >>"$work/fio.s"
}
time_ddrescue() {
  rm -f "$work/dd.map"
  /usr/bin/time -f '%e' -o "$work/t" ddrescue -d --force -q "$device" /dev/null "$work/dd.map"
  cat "$work/t" >>"$work/dd.s"
}

order=(time_cli time_fio time_ddrescue)
for ((round = 0; round < runs; round++)); do
  for ((i = 0; i < 3; i++)); do
    drop_caches
    "${order[$(((round + i) % 3))]}"
  done
done

cli_s=$(median <"$work/cli.s")
fio_s=$(median <"$work/fio.s")
dd_s=$(median <"$work/dd.s")
rss=$(median <"$work/cli.rss")
awk -v c="$cli_s" -v f="$fio_s" -v d="$dd_s" -v r="$rss" -v m="$mib" 'BEGIN {
  printf "vorkan-cli --device: %.2f s (%.0f MiB/s), peak RSS %.1f MiB\n", c, m / c, r / 1024
  printf "fio (its runtime):   %.2f s (%.0f MiB/s)\n", f, m / f
  printf "ddrescue -d:         %.2f s\n", d
  printf "throughput against fio: %.2f (target >= 0.9)\n", f / c
  printf "time against ddrescue:  %.2f (target <= 0.7)\n", c / d
}'

if [ "$files" -gt 0 ]; then
  losetup -d "$device"
  device=
  fs="$work/fs.img"
  truncate -s "$(((files / 100000 + 1) * 512))M" "$fs"
  mkfs.ext4 -q -F -N "$((files + 1000))" -E nodiscard "$fs"
  mkdir -p "$work/mnt"
  mount "$fs" "$work/mnt"
  mounted=$work/mnt
  # Empty files in directories of 1000: the walk and one FIEMAP per file is what is measured.
  (cd "$work/mnt" && python3 - "$files" <<'PY'
import os, sys
n = int(sys.argv[1])
for i in range(n):
    d = "d%04d" % (i // 1000)
    if i % 1000 == 0:
        os.mkdir(d)
    open(os.path.join(d, "f%d" % i), "w").close()
PY
  )
  sync
  device=$(findmnt -n -o SOURCE "$work/mnt")
  # A map that leaves only the last MiB to read, and --slow 0 makes that read a slow one:
  # mapping it walks every file and asks for its extents.
  size=$(blockdev --getsize64 "$device")
  printf '# bench\n0x00000000 + 1\n0x%08X 0x%08X +\n0x%08X 0x%08X ?\n' 0 $((size - 1048576)) $((size - 1048576)) 1048576 >"$work/slow.map"
  drop_caches
  /usr/bin/time -f '%e %M' -o "$work/t" "$cli" --device "$device" --mapfile "$work/slow.map" --slow 0 >/dev/null
  read -r seconds rss <"$work/t"
  awk -v s="$seconds" -v r="$rss" -v n="$files" \
    'BEGIN { printf "mapping a bad area over %d files: %.1f s, peak RSS %.1f MiB (target < 64)\n", n, s, r / 1024 }'
fi
