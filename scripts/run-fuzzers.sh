#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for SECONDS.
# Usage: scripts/run-fuzzers.sh SECONDS   (clang must be installed)
set -eu
seconds=${1:?usage: run-fuzzers.sh SECONDS}
src=$(cd "$(dirname "$0")/.." && pwd)
build=${PITLINK_FUZZ_BUILD:-$src/build-fuzz}

CXX=clang++ CC=clang cmake -S "$src" -B "$build" -DPITLINK_FUZZ=ON -DPITLINK_QT=ON \
    -DPITLINK_TESTS=OFF -DPITLINK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
targets=$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \(fuzz_[A-Za-z0-9_]*\).*/\1/p')
[ -n "$targets" ] || { echo "no fuzz targets" >&2; exit 1; }
cmake --build "$build" -j2 --target $targets

status=0
for t in $targets; do
    exe=$(find "$build" -type f -name "$t" -perm -u+x | head -n 1)
    [ -n "$exe" ] || { echo "$t: not built" >&2; status=1; continue; }
    corpus="$build/corpus/$t"
    mkdir -p "$corpus" "$build/artifacts"
    # Seed inputs and a dictionary kept beside the sources, where a target has them.
    set --
    [ -f "$src/fuzz/$t.dict" ] && set -- "-dict=$src/fuzz/$t.dict"
    set -- "$@" "$corpus"
    [ -d "$src/fuzz/corpus/$t" ] && set -- "$@" "$src/fuzz/corpus/$t"
    echo "== $t for ${seconds}s"
    if ! "$exe" -max_total_time="$seconds" -artifact_prefix="$build/artifacts/$t-" "$@"; then
        echo "$t: FAILED (crash artifacts in $build/artifacts)" >&2
        status=1
    fi
done
exit $status
