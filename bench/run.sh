#!/bin/sh
# Builds the benchmarks as the README builds the program (RelWithDebInfo)
# and prints their tables:
#   1. StretchDraw against pixman's separable convolution, with the scaler
#      built at the build's level (-O2) and at -O3, one after the other;
#   2. every composition mode for a 6000 x 4000 picture on a 3840 x 2160
#      screen, buffer file written, time and peak memory per mode;
#   3. the whole vantoria-change program against the usual root-window
#      setters (bench/compare.sh).
#
#   bench/run.sh [--reps N]
# Environment: BUILD_DIR (default build-bench in the source tree),
#              BENCH_DIR (where buffer files go; default a temporary folder).
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-bench}
reps=7
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantoria-scale-bench vantoria-scale-bench-O3 vantoria-compose-bench >/dev/null

work=${BENCH_DIR:-}
cleanup=
if [ -z "$work" ]; then
    work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-bench.XXXXXX")
    cleanup=$work
fi
trap '[ -n "$cleanup" ] && rm -rf "$cleanup"' EXIT

echo "== Scaling: own StretchDraw against pixman (medians of $reps; 1T = one thread), scaler at -O2"
"$build/bin/vantoria-scale-bench" "$reps"
echo "== The same, scaler at -O3 (pixman left out)"
"$build/bin/vantoria-scale-bench-O3" "$reps" --no-pixman
echo
echo "== Composition, one process a mode"
"$build/bin/vantoria-compose-bench" --picture 6000x4000 --screen 3840x2160 \
    --dir "$work" --reps "$reps"

echo
# Whole programs against the tools people would use instead.
BUILD_DIR= "$src/bench/compare.sh" --reps "$reps"
