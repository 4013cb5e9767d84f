#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with ctest.
# BUILD_DIR and CMAKE_EXTRA pick another build (the sanitizer run of CI).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh "${DEPS:-test}"
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DPITLINK_TESTS=ON -DPITLINK_BENCH=ON ${CMAKE_EXTRA:-}
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
