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

# Keeps each PROGRAM (a path or a name on PATH) and the libraries it loads mapped in memory
# until the script ends (bench_tool hold; needs $tool), so that a cache drop leaves the trees
# cold but not the programs that read them: a timed run is the program's work, as fio's own
# runtime is fio's, not the loading of the program from the disk. Every program compared in
# a benchmark is held alike.
hold_programs() { # PROGRAM...
  local files=() program path lib
  for program in "$@"; do
    path=$(command -v "$program") || continue
    files+=("$(readlink -f "$path")")
    while read -r lib; do
      files+=("$(readlink -f "$lib")")
    done < <(ldd "$path" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }')
  done
  coproc HELD { "$tool" hold "${files[@]}" 2>/dev/null; }
  read -r _ <&"${HELD[0]}"
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
