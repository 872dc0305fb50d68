#!/usr/bin/env bash
# Configures and builds with a preset of CMakePresets.json, using every core.
#   scripts/build.sh [PRESET | DIR] [--program] [CMAKE OPTIONS...]
# PRESET is dev (the default, into build/), asan, tsan or release; a directory name selects
# the preset of the same name (build-asan: asan) or, for any other name, dev into that
# directory. --program builds only what running the program needs, without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:-dev}
[ $# -gt 0 ] && shift
case $target in
  dev | build) preset=dev dir=build ;;
  asan | tsan | release) preset=$target dir=build-$target ;;
  build-asan | build-tsan | build-release) preset=${target#build-} dir=$target ;;
  *) preset=dev dir=$target ;;
esac

targets=()
options=()
for arg in "$@"; do
  if [ "$arg" = --program ]; then
    options+=(-DVORKAN_BUILD_TESTS=OFF)
    targets=(--target vorkan vorkan-cli sample_psk)
  else
    options+=("$arg")
  fi
done

cmake --preset "$preset" -B "$dir" "${options[@]}" >/dev/null
echo "build: building $dir with $(nproc) jobs (the first build takes a few minutes)" >&2
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
