#!/usr/bin/env bash
# Renders every window of the desktop program to PNG, offscreen (no display
# needed), on a throw-away embedded server: docs/screenshots/ at the design
# size, docs/screenshots/2x/ on a screen of device pixel ratio 2.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${MOLTARO_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE="${MOLTARO_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build_dir" --target moltaro_screenshots
mkdir -p docs/screenshots/2x
QT_QPA_PLATFORM=offscreen "$build_dir/tests/ui/moltaro_screenshots" docs/screenshots examples
# A 3840 × 2160 screen at 192 dpi, as a high-density desktop reports it.
QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/ui/hidpi_screen.json" \
  "$build_dir/tests/ui/moltaro_screenshots" docs/screenshots/2x examples
