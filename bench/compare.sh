#!/usr/bin/env bash
# Times whole programs against the tools people would use instead, on the
# same 6000 x 4000 picture, in one run, and prints the tables:
#   1. vantoria-change (BMP, stretch to 3840 x 2160, buffer file written)
#      against ImageMagick's convert -resize doing the same;
#   2. vantoria-change decoding a JPEG through the JPEG plug-in and
#      composing it (mode 1) against djpeg -bmp decoding the same file;
#   3. vantoria-change setting the stretched JPEG on a 3840 x 2160 X server
#      against xwallpaper --stretch, hsetroot -full and feh --bg-scale.
# Each figure is the best of N runs (wall seconds) with that run's peak
# memory (maximum resident set, MB).
#
#   bench/compare.sh [--reps N]
# Installs the tools it compares against (Debian packages) when missing.
# Environment: BUILD_DIR (default build-bench in the source tree).
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-bench}
reps=5
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

need=()
for p in imagemagick libjpeg-turbo-progs xwallpaper hsetroot feh time xvfb x11-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
fi

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantoria-change plugins >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-compare.XXXXXX")
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A photograph-like picture: smooth random texture, so that the JPEG is as
# hard to decode as a real photograph of that size.
convert -size 600x400 xc: +noise Random -resize '6000x4000!' -quality 90 "$work/big.jpg"
convert "$work/big.jpg" BMP3:"$work/big.bmp"

. "$src/bench/lib.sh"
start_folder

table() {
  awk -F'\t' -v base="$1" 'NR==1{bt=$2; bm=$3}
    {printf "  %-34s %7.3f s %6d MB", $1, $2, $3;
     if (NR>1) printf "   time x%.2f, memory x%.2f of %s", $2/bt, $3/bm, base;
     printf "\n"}'
}

echo "== BMP 6000x4000 stretched to 3840x2160, buffer file written"
{
  best vantoria-change "$change" --desktop none --no-run --screen 3840x2160 --position 0 --size 1 "$work/big.bmp"
  best "convert -resize 3840x2160!" convert "$work/big.bmp" -resize '3840x2160!' BMP3:"$work/out.bmp"
} | table vantoria-change

echo
echo "== JPEG 6000x4000: decoded through the plug-in and stretched, against djpeg"
{
  best vantoria-change "$change" --desktop none --no-run --screen 3840x2160 --position 0 --size 1 "$work/big.jpg"
  best "djpeg -bmp" sh -c 'djpeg -bmp "$1" > "$2"' sh "$work/big.jpg" "$work/djpeg.bmp"
} | table vantoria-change

echo
echo "== JPEG 6000x4000 stretched onto a 3840x2160 X server"
# -noreset: a desktop session always has other clients (window manager,
# panel), so its server never resets between two programs; a bare Xvfb
# would, and the setter after a reset would pay for fresh server memory.
Xvfb -displayfd 3 -screen 0 3840x2160x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
{
  best vantoria-change "$change" --desktop x11 --no-run --position 0 --size 1 "$work/big.jpg"
  best "xwallpaper --stretch" xwallpaper --stretch "$work/big.jpg"
  best "hsetroot -full" hsetroot -full "$work/big.jpg"
  best "feh --bg-scale" feh --no-fehbg --bg-scale "$work/big.jpg"
} | table vantoria-change
