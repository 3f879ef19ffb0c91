#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ and runs the whole suite under them. CI runs it after the
# plain suite; run it by hand after touching memory-sensitive code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir="${MOLTARO_SANITIZE_BUILD_DIR:-build-sanitize}"
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMOLTARO_SANITIZE=ON \
  -DMOLTARO_BUILD_BENCH=OFF \
  -DMOLTARO_WERROR="${MOLTARO_WERROR:-OFF}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
# Leaks inside the system's Qt and font libraries are theirs, not ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
