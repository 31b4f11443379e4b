#!/usr/bin/env bash
# A single change (vantoria-change onto a private X server) with this build
# against another build (an older one, say), each with its own programs and
# its own shipped plug-ins: the cost of the plug-ins a decode loads. Small
# JPEG, 6000x4000 smooth JPEG and a PNG; A and B taken in turn (ABBA), RUNS
# times each; medians and minimums of wall time and of processor time (the
# decode helper included, perf's task-clock).
#
#   bench/heads-ab.sh OTHER_BUILD_BIN [--runs N]
# OTHER_BUILD_BIN holds the other build's vantoria-change, vantoria-decode
# and *.spi. Environment: BUILD_DIR (default build in the source tree).
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build}
other=$(readlink -f "${1:?usage: $0 OTHER_BUILD_BIN [--runs N]}")
shift
runs=21
while [ $# -ge 2 ]; do
  case $1 in --runs) runs=$2 ;; *) echo "unknown option $1" >&2; exit 2 ;; esac
  shift 2
done

# perf for the processor time: for this benchmark only, installed when missing.
if ! command -v perf >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends linux-perf >/dev/null
fi

. "$src/bench/lib.sh"
bench_work heads-ab
private_home   # each side's settings are its own, below
declare -A bin=([A]="$build/bin" [B]="$other")
for side in A B; do
  mkdir -p "$work/$side/plugins"
  cp "${bin[$side]}"/*.spi "$work/$side/plugins/"
  chmod 755 "$work/$side/plugins"
  plugin_settings "$work/$side/config" "$work/$side/plugins"
done
mkdir -p "$work/start"

convert -size 64x64 gradient:navy-orange -quality 90 "$work/small.jpg"
convert -size 6000x4000 -define gradient:angle=35 gradient:'#1e3c72-#f0c27b' -quality 90 "$work/smooth.jpg"
convert -size 640x480 gradient:navy-orange -colors 64 "$work/pic.png"

start_xvfb 1920x1080

# Appends "wall-ms cpu-ms" of one change to $work/<side>.<file>.
once() {
  local side=$1 file=$2 t0 t1
  t0=$(date +%s%N)
  (cd "$work/start" && XDG_CONFIG_HOME="$work/$side/config" perf stat -x, -e task-clock -o "$work/stat" \
     "${bin[$side]}/vantoria-change" --desktop x11 --no-run --position 0 --size 1 "$work/$file" \
     >/dev/null 2>"$work/err") || { echo "$side failed on $file: $(cat "$work/err")" >&2; exit 1; }
  t1=$(date +%s%N)
  awk -F, -v wall="$(( (t1 - t0) / 1000 ))" '/task-clock/ {printf "%.3f %.3f\n", wall / 1000, $1}' \
    "$work/stat" >>"$work/$side.$file"
}

# Median and minimum of column $2 of file $1.
stats() { sort -n -k"$2" "$1" | awk -v k="$2" '{v[NR] = $k} END {printf "%7.2f %7.2f", v[int((NR + 1) / 2)], v[1]}'; }

echo "Machine: $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg); $runs runs a side"
printf '%-11s %-31s %-31s %s\n' "" "A: this build  wall med/min, cpu med/min" "B: other" "A/B wall, cpu (medians)"
for file in small.jpg smooth.jpg pic.png; do
  for side in A B; do once "$side" "$file"; done   # warm the caches
  : >"$work/A.$file"; : >"$work/B.$file"
  for i in $(seq "$runs"); do
    if [ $((i % 2)) -eq 1 ]; then once A "$file"; once B "$file"; else once B "$file"; once A "$file"; fi
  done
  read -r aw awm <<<"$(stats "$work/A.$file" 1)"; read -r ac acm <<<"$(stats "$work/A.$file" 2)"
  read -r bw bwm <<<"$(stats "$work/B.$file" 1)"; read -r bc bcm <<<"$(stats "$work/B.$file" 2)"
  awk -v n="$file" -v aw="$aw" -v awm="$awm" -v ac="$ac" -v acm="$acm" -v bw="$bw" -v bwm="$bwm" -v bc="$bc" -v bcm="$bcm" \
    'BEGIN {printf "%-11s %6.2f/%6.2f  %6.2f/%6.2f ms   %6.2f/%6.2f  %6.2f/%6.2f ms   x%.3f x%.3f\n",
            n, aw, awm, ac, acm, bw, bwm, bc, bcm, aw / bw, ac / bc}'
done
