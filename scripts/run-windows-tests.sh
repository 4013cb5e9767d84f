#!/usr/bin/env bash
# Cross-compiles the Qt-free code (platform layer, simulator link, simulator
# substitute) and GoogleTest for 64-bit Windows with mingw-w64; checks that the
# rest of the program compiles for Windows too (syntax only), that the version
# resource compiles and that no file outside platform/ includes a POSIX or
# Win32 header (scripts/check-windows-sources.sh); then runs the Windows
# backend tests through ctest under Wine, in a private Wine prefix inside the
# build folder. Prints ctest's summary; fails when a check or a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows
build=${WINDOWS_BUILD_DIR:-build-windows}
wine=/usr/lib/wine/wine64

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DPITLINK_QT=OFF -DPITLINK_TESTS=ON -DPITLINK_BENCH=OFF -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine"
cmake --build "$build" -j"$(nproc)"

# The rest of the program, which needs Qt, is compiled for Windows but not
# linked; a failure here still lets the Wine tests run, and fails at the end.
checks=0
bash scripts/check-windows-sources.sh "$build" || checks=$?

# A prefix of our own: no Mono or Gecko installers, no display (the null
# graphics driver still gives real windows, messages and keyboard input).
export WINEPREFIX=$PWD/$build/wineprefix
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/.pitlink-ready" ]; then
    rm -rf "$WINEPREFIX"
    "$wine" wineboot --init
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    # The desktop process started by the boot had no driver; start afresh.
    "$WINESERVER" -k || true
    "$WINESERVER" -w
    touch "$WINEPREFIX/.pitlink-ready"
fi

cd "$build"
status=0
ctest --output-on-failure -j"$(nproc)" || status=$?
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
trap - EXIT
if [ "$checks" -ne 0 ]; then
    echo "FAILED: the Windows compile checks above (scripts/check-windows-sources.sh)" >&2
    exit "$checks"
fi
exit $status
