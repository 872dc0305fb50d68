#!/usr/bin/env bash
# Builds the program if needed and starts it in build/, the directory that holds the sample
# maker archive pelun.psk, so the About box's catalogue works at once. Returns when the
# window is closed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh dev --program "$@"
cd build
exec app/vorkan
