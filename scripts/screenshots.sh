#!/usr/bin/env bash
# Renders every page of the main window and both dialogs, offscreen, into DIR (by default
# build/screenshots/). `scripts/screenshots.sh docs/screenshots` replaces the README's pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
scripts/build.sh dev >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen build/tests/ui/vorkan-screenshots "$out"
ls "$out"
