#!/usr/bin/env bash
# Processor time and page faults of vantoria-change (the helpers included)
# with this build's decode helper against another vantoria-decode (an older
# build's), on small pictures read by the 4th, the 11th and the last of the
# shipped plug-ins (JPEG, PNG, XPM), where loading plug-ins is a large part
# of the whole; A and B taken in turn, ROUNDS times perf stat -r REPS each.
#
#   bench/helper-ab.sh OTHER_VANTORIA_DECODE [--reps N] [--rounds N]
# Environment: BUILD_DIR (default build-bench in the source tree).
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-bench}
other=$(readlink -f "${1:?usage: $0 OTHER_VANTORIA_DECODE [--reps N] [--rounds N]}")
shift
reps=10 rounds=3
while [ $# -ge 2 ]; do
  case $1 in --reps) reps=$2 ;; --rounds) rounds=$2 ;; *) echo "unknown option $1" >&2; exit 2 ;; esac
  shift 2
done

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target vantoria-change vantoria-decode plugins >/dev/null

. "$src/bench/lib.sh"
bench_work helper-ab
# Each program finds its helper beside itself; both read the build's plug-ins.
for side in A B; do mkdir -p "$work/$side"; cp "$build/bin/vantoria-change" "$work/$side/"; done
cp "$build/bin/vantoria-decode" "$work/A/"
cp "$other" "$work/B/vantoria-decode"
private_home
plugin_settings "$XDG_CONFIG_HOME" "$build/bin"
mkdir -p "$work/start"

convert -size 640x480 gradient:navy-orange -colors 64 "$work/pic.png"
convert "$work/pic.png" -quality 90 "$work/pic.jpg"
convert "$work/pic.png" "$work/pic.xpm"

# Prints "msec-task-clock page-faults msec-elapsed", means of perf stat -r $reps.
measure() {
  local side=$1 file=$2
  (cd "$work/start" && perf stat -r "$reps" -e task-clock,page-faults -o "$work/stat" \
     "$work/$side/vantoria-change" --position 0 --size 1 --screen 640x480 --desktop none --no-run "$file" \
     >/dev/null 2>"$work/err") || { echo "$side failed on $file: $(cat "$work/err")" >&2; exit 1; }
  awk '/task-clock/ {t = $1} /page-faults/ {f = $1} /seconds time elapsed/ {e = $1 * 1000}
       END {gsub(",", "", f); printf "%.2f %d %.2f", t, f, e}' "$work/stat"
}

printf '%-4s %-34s %-34s %s\n' "" "A: this build (cpu ms, faults, wall)" "B: other" "A/B cpu"
for ext in jpg png xpm; do
  for round in $(seq "$rounds"); do
    read -r at af aw <<<"$(measure A "$work/pic.$ext")"
    read -r bt bf bw <<<"$(measure B "$work/pic.$ext")"
    awk -v n="$ext" -v at="$at" -v af="$af" -v aw="$aw" -v bt="$bt" -v bf="$bf" -v bw="$bw" \
      'BEGIN {printf "%-4s %7.2f ms %6d f %7.2f ms wall   %7.2f ms %6d f %7.2f ms wall   x%.3f\n",
              n, at, af, aw, bt, bf, bw, at / bt}'
  done
done
