#!/usr/bin/env bash
# Fresh machine to green tests: installs dependencies, builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir="${MOLTARO_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
