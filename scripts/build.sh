#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info).
# MOLTARO_WERROR=ON turns warnings into errors (CI sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${MOLTARO_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE="${MOLTARO_BUILD_TYPE:-RelWithDebInfo}" \
  -DMOLTARO_WERROR="${MOLTARO_WERROR:-OFF}" \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
