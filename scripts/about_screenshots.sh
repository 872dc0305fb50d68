#!/usr/bin/env bash
# Renders the About box's pages and the catalogue, offscreen, into DIR (by default
# build/screenshots/). `scripts/about_screenshots.sh docs/screenshots` replaces the README's
# pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
scripts/build.sh dev >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen build/tests/about_ui/vorkan-about-screenshots "$out" build/pelun.psk
ls "$out"
