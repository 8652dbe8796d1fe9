#!/usr/bin/env bash
# Takes screenshots of the workbench under a virtual X display, for review:
#   scripts/screenshots.sh [BUILD DIR, default build]
# The pictures land in BUILD DIR/screenshots/ (kept as artifacts, never compared).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$build/screenshots
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x900x24" env QT_QPA_PLATFORM=xcb "$build"/tests/gui_screenshots "$out"
