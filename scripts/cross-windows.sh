#!/usr/bin/env bash
# Cross-compiles the Qt-free code (platform layer with its Windows backend,
# simulator link) with mingw-w64; fails when it does not build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${CROSS_BUILD_DIR:-build-mingw}
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DPITLINK_QT=OFF -DPITLINK_TESTS=OFF -DPITLINK_BENCH=OFF -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"$(nproc)" --target pitlink_platform pitlink_simlink
echo "Windows cross-compile: pitlink_platform and pitlink_simlink built"
