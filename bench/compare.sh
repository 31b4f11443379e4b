#!/usr/bin/env bash
# Times vantoria-change against the root-window setters people would use
# instead (xwallpaper, hsetroot, feh), in one run, on two 6000 x 4000 JPEGs:
# a photograph-like one (fine random texture, as hard to decode as a real
# photograph) and a smooth one (a gradient), each stretched onto X servers of
# 3840 x 2160, 2560 x 1440 and 1920 x 1080. Every tool runs once a round, in
# turn, for N rounds (default 7), so that the machine's load falls on all of
# them alike; each figure is the median (wall seconds, and peak memory as
# the maximum resident set in MB). Each case also states how far the pixels
# of the stretched picture from the reduced JPEG decode lie from those from
# the whole picture. Then the chooser's preview of both.
#
#   bench/compare.sh [--reps N]
#
# Builds the program as the README does (RelWithDebInfo) in BUILD_DIR
# (default: build in the source tree). Installs the setters it compares
# against (Debian packages) when missing: they are for this benchmark only.
# On a shared machine, run it alone, or under `chrt -f 10` so that other
# work does not fall between the runs of one tool.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build}
reps=7
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

need=()
for p in imagemagick xwallpaper hsetroot feh time xvfb x11-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
fi

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target vantoria-change plugins vantoria-chooser-bench vantoria-reduced-error >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-compare.XXXXXX")
xvfb_pid=
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=
}
trap 'stop_xvfb; rm -rf "$work"' EXIT

convert -size 600x400 xc: +noise Random -resize '6000x4000!' -quality 90 "$work/photo.jpg"
convert -size 6000x4000 -define gradient:angle=35 gradient:'#1e3c72-#f0c27b' -quality 90 "$work/smooth.jpg"

. "$src/bench/lib.sh"
start_folder

# in_turn LINE...: each LINE is "name|command"; runs every command once a
# round for $reps rounds and prints "name<tab>median s<tab>median MB".
in_turn() {
  local -a names=() cmds=()
  local line i r
  for line in "$@"; do names+=("${line%%|*}"); cmds+=("${line#*|}"); done
  for i in "${!cmds[@]}"; do : >"$work/times.$i"; done
  for r in $(seq "$reps"); do
    for i in "${!cmds[@]}"; do
      local t0 t1
      t0=$EPOCHREALTIME
      (cd "$work/start" && eval "/usr/bin/time -f %M -o '$work/mem' ${cmds[$i]}" >/dev/null 2>"$work/err") ||
        { echo "${names[$i]} failed: $(cat "$work/err")" >&2; return 1; }
      t1=$EPOCHREALTIME
      echo "$t0 $t1 $(tail -n 1 "$work/mem")" >>"$work/times.$i"
    done
  done
  local mid=$(((reps + 1) / 2))
  for i in "${!cmds[@]}"; do
    local t m
    t=$(awk '{printf "%.6f\n", $2 - $1}' "$work/times.$i" | sort -g | sed -n "${mid}p")
    m=$(awk '{print $3}' "$work/times.$i" | sort -g | sed -n "${mid}p")
    printf '%s\t%.3f\t%.0f\n' "${names[$i]}" "$t" "$(awk -v k="$m" 'BEGIN{print k/1024}')"
  done
}

table() {
  awk -F'\t' -v base="$1" '{name[NR]=$1; t[NR]=$2; m[NR]=$3; if ($1 ~ base) {bt=$2; bm=$3}}
    END {for (i=1; i<=NR; i++) {
      printf "  %-24s %7.3f s %6d MB", name[i], t[i], m[i];
      if (name[i] !~ base) printf "   ours: time x%.2f, memory x%.2f", t[1]/t[i], m[1]/m[i];
      printf "\n"}}'
}

echo "Machine: $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start;" \
     "medians of $reps rounds"
for root in 3840x2160 2560x1440 1920x1080; do
  # -noreset: a desktop session always has other clients (window manager,
  # panel), so its server never resets between two setters.
  Xvfb -displayfd 3 -screen 0 "${root}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$work/display")"
  for picture in photo smooth; do
    echo
    echo "== $picture.jpg 6000x4000 stretched onto a $root X server"
    f="$work/$picture.jpg"
    # What the reduced decode costs in pixels: the stretched wallpaper from it
    # against the one from the whole picture (channel values, 0..255).
    echo "  reduced decode against the whole picture, $("$build/bin/vantoria-reduced-error" "$build/bin" "$f" "${root%x*}" "${root#*x}")"
    in_turn "vantoria-change|$change --desktop x11 --no-run --position 0 --size 1 $f" \
            "xwallpaper --stretch|xwallpaper --stretch $f" \
            "hsetroot -full|hsetroot -full $f" \
            "feh --bg-scale|feh --no-fehbg --bg-scale $f" | table vantoria-change
  done
  stop_xvfb
  : >"$work/display"
done

for picture in photo smooth; do
  echo
  echo "== The chooser's preview of $picture.jpg"
  "$build/bin/vantoria-chooser-bench" --plugins "$build/bin" --reps "$reps" --jpeg "$work/$picture.jpg" --no-list
done
