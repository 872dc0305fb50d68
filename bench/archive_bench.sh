#!/usr/bin/env bash
# Builds the libraries optimised and runs the archive benchmark. Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORKAN_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-bench --target archive/libvorkan_archive.a tools/libvorkan_pskwriter.a >/dev/null
b=build-bench
g++ -std=c++20 -O2 -I. bench/psk_bench.cpp -o $b/psk_bench \
  $b/tools/libvorkan_pskwriter.a $b/archive/libvorkan_archive.a $b/common/libvorkan_common.a \
  $b/platform/libvorkan_platform.a $(pkg-config --libs mount blkid) -lz -ljpeg -lpthread
$b/psk_bench
