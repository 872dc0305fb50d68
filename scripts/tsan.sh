#!/usr/bin/env bash
# Builds the engine, the platform layer and vorkan-cli with ThreadSanitizer and runs their
# tests: the walk, the reads and the hand-off to the engine run on several threads.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-tsan}
# The tsan preset without the Qt programs: Qt itself is not instrumented.
cmake --preset tsan -B "$dir" -DVORKAN_BUILD_GUI=OFF >/dev/null
cmake --build "$dir" --target engine_tests file_reads_tests platform_tests cli_tests surface_tests surface_cli_tests vorkan-cli vorkan-faultfs
# die_after_fork=0: some tests run a body as another user in a forked child.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0"
"$dir"/tests/platform/platform_tests
"$dir"/tests/engine/engine_tests
"$dir"/tests/engine/file_reads_tests
# The 100,000-level walk is one thread's work and takes many minutes under ThreadSanitizer.
"$dir"/tests/app/cli_tests --gtest_filter=-DeepTreeInMemory.*
"$dir"/tests/engine/surface_tests
"$dir"/tests/app/surface_cli_tests
