#!/usr/bin/env bash
# Saves docs/screenshot.png: the desktop application's main window after Browse
# has loaded the demo state. Needs no display: the window is drawn offscreen.
#
#   scripts/screenshot.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
state=demo/out/GOLDENEYE.pj

cmake --build "$build" --target morvane-screenshot morvane-make-state -j 2
mkdir -p demo/out docs
"$build/tools/morvane-make-state" --faces 12 --others 6 "$state"
QT_QPA_PLATFORM=offscreen "$build/tests/app/morvane-screenshot" "$state" docs/screenshot.png
echo "Wrote docs/screenshot.png"
