# Shell pieces shared by the benchmarks; sourced, not run. A script sets `bench` (its name,
# for messages) before it calls them.

# Empties the page cache, so that the next run reads from the medium.
drop_caches() { sync; echo 3 > /proc/sys/vm/drop_caches; }

# Seconds one command takes after a cache drop; its output is discarded, a failure is said.
timed() {
  drop_caches
  local start end status=0
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || status=$?
  end=$(date +%s.%N)
  if [ "$status" -ne 0 ]; then echo "$bench: exit status $status from: $*" >&2; fi
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# A fresh directory below $base as $work, removed on exit unless $keep is 1.
make_work_dir() { # PREFIX
  mkdir -p "$base"
  work=$(mktemp -d "$base/$1.XXXXXX")
  trap 'if [ "$keep" -eq 0 ]; then rm -rf "$work"; else echo "trees kept in $work"; fi' EXIT
}

# Builds bench_tool.c into $work as $tool.
build_bench_tool() {
  tool=$work/bench_tool
  cc -O2 -Wall -Wextra -Werror -o "$tool" "$repo/bench/bench_tool.c"
}

# $work/large: COUNT files of MIB MiB of random data.
make_large_files() { # COUNT MIB
  mkdir "$work/large"
  for i in $(seq 1 "$1"); do
    dd if=/dev/urandom of="$work/large/file$i.bin" bs=1M count="$2" status=none
  done
}
