#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test of the project.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j2 --timeout 600
