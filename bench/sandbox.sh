#!/usr/bin/env bash
# What decoding in the sandboxed helper costs, against the same decode in
# the program's own process (VANTORIA_DECODE_IN_PROCESS=1, which exists for
# this comparison only), side by side in one run:
#   1. vantoria-change with a 6000 x 4000 JPEG and the same picture as a
#      BMP, stretched to 3840 x 2160, buffer file written (goal: the helper
#      within 1.05 x);
#   2. the chooser's preview of that JPEG through vantoria-chooser-bench,
#      which keeps a warm helper as the tray program does (goal: within
#      10 ms).
# Wall time is the best of N runs; processor time (user + system, the
# helpers included) is the best of the same runs, and is what to read on a
# loaded machine, where a new process waits its turn for a processor, with
# the page faults (minor ones, helpers included; the fewest of the runs).
# A second line gives the medians of wall and processor time.
#
#   bench/sandbox.sh [--reps N]
# Environment: BUILD_DIR (default build-bench in the source tree).
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-bench}
reps=5
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target vantoria-change vantoria-decode plugins vantoria-chooser-bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-sandbox-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

convert -size 600x400 xc: +noise Random -resize '6000x4000!' -quality 90 "$work/big.jpg"
convert "$work/big.jpg" BMP3:"$work/big.bmp"

. "$src/bench/lib.sh"
start_folder

# timed MODE COMMAND...: the best wall and the best processor seconds of
# $reps runs, in and out of process alternately so that both see the same
# machine.
runs() {
  local file=$1 out=$2
  : >"$out.in"; : >"$out.helper"
  for _ in $(seq "$reps"); do
    for mode in in helper; do
      local flag=0; [ "$mode" = in ] && flag=1
      # time(1) reads wall time to 10 ms only: the wall time is taken here.
      local began ended
      began=$(date +%s%N)
      (cd "$work/start" && VANTORIA_DECODE_IN_PROCESS=$flag /usr/bin/time -f '%U %S %R' -o "$work/time" \
         "$change" --position 0 --size 1 --screen 3840x2160 --desktop none --no-run "$file" >/dev/null 2>"$work/err") ||
        { echo "$mode failed: $(cat "$work/err")" >&2; return 1; }
      ended=$(date +%s%N)
      awk -v ns=$((ended - began)) '{printf "%.4f %.3f %d\n", ns / 1e9, $1 + $2, $3}' "$work/time" >>"$out.$mode"
    done
  done
}
# median COLUMN FILE: the median of one column of the runs.
median() { sort -k"$1" -n "$2" | awk -v c="$1" '{v[NR] = $c} END {print v[int((NR + 1) / 2)]}'; }
summary() {
  local name=$1 out=$2
  inWall=$(sort -n "$out.in" | head -1 | cut -d' ' -f1); inCpu=$(sort -k2 -n "$out.in" | head -1 | cut -d' ' -f2)
  hWall=$(sort -n "$out.helper" | head -1 | cut -d' ' -f1); hCpu=$(sort -k2 -n "$out.helper" | head -1 | cut -d' ' -f2)
  inFaults=$(sort -k3 -n "$out.in" | head -1 | cut -d' ' -f3); hFaults=$(sort -k3 -n "$out.helper" | head -1 | cut -d' ' -f3)
  awk -v n="$name" -v iw="$inWall" -v ic="$inCpu" -v hw="$hWall" -v hc="$hCpu" -v if_="$inFaults" -v hf="$hFaults" 'BEGIN{
    printf "  %-6s in process %7.4f s wall %6.3f s cpu %6d faults   helper %7.4f s wall %6.3f s cpu %6d faults   x%.3f wall  x%.3f cpu\n",
           n, iw, ic, if_, hw, hc, hf, hw / iw, hc / ic }'
  # Medians as well: on a busy machine the best run of either side may be luck.
  awk -v iw="$(median 1 "$out.in")" -v ic="$(median 2 "$out.in")" -v hw="$(median 1 "$out.helper")" \
      -v hc="$(median 2 "$out.helper")" 'BEGIN{
    printf "  %-6s in process %7.4f s wall %6.3f s cpu   (medians)     helper %7.4f s wall %6.3f s cpu                x%.3f wall  x%.3f cpu\n",
           "", iw, ic, hw, hc, hw / iw, hc / ic }'
}
echo "== vantoria-change, 6000x4000 stretched to 3840x2160 (best of $reps)"
runs "$work/big.jpg" "$work/jpeg"; summary JPEG "$work/jpeg"
runs "$work/big.bmp" "$work/bmp"; summary BMP "$work/bmp"

echo
echo "== the chooser's preview of the 6000x4000 JPEG (ms: best and median wall of $reps)"
chooser() {
  env VANTORIA_DECODE_IN_PROCESS="$1" QT_QPA_PLATFORM=offscreen \
    perf stat -x, -e task-clock -o "$work/stat.$1" "$build/bin/vantoria-chooser-bench" --reps "$reps" |
    awk '/selection to painted preview|decode through the plug-in/ { n = split($0, f, " "); print f[n-3], f[n-2] }'
}
chooser 1 >"$work/cin"
chooser 0 >"$work/cout"
paste -d' ' "$work/cin" "$work/cout" | awk 'BEGIN{split("selection-to-preview decode", name, " ")}
  {printf "  %-22s in process %7.1f / %7.1f   helper %7.1f / %7.1f   %+7.1f ms (best)\n",
          name[NR], $1, $2, $3, $4, $3 - $1}'
# The whole benchmark's processor time, helpers included, over its 2 x N
# decodes (the warm helper's one loading of the plug-ins included).
cin=$(grep task-clock "$work/stat.1" | cut -d, -f1); cout=$(grep task-clock "$work/stat.0" | cut -d, -f1)
awk -v a="$cin" -v b="$cout" -v n="$reps" 'BEGIN{
  printf "  processor time: in process %.0f ms, helper %.0f ms: %+.1f ms a decode\n", a, b, (b - a) / (2 * n) }'
