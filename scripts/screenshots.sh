#!/usr/bin/env bash
# Renders every window of the desktop program to PNG under docs/screenshots/,
# offscreen (no display needed), on a throw-away embedded server.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${MOLTARO_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE="${MOLTARO_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build_dir" --target moltaro_screenshots
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen "$build_dir/tests/ui/moltaro_screenshots" docs/screenshots examples
