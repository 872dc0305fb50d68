#!/usr/bin/env bash
# Renders the About box's pages and the catalogue into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build >/dev/null
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen build/tests/about_ui/vorkan-about-screenshots docs/screenshots build/pelun.psk
ls docs/screenshots
