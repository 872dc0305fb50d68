#!/usr/bin/env bash
# Sets up the machine for the tests, builds everything, and runs every test of the project.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
scripts/build.sh dev
ctest --preset dev
