#!/usr/bin/env bash
# Renders every page of the main window and both dialogs into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build >/dev/null
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen build/tests/ui/vorkan-screenshots docs/screenshots
ls docs/screenshots
