#!/usr/bin/env bash
# What converting a picture's colours to sRGB costs: the JPEG plug-in alone
# (vantoria-plugin-decode) on the same 6000 x 4000 (24 MP) photograph-like
# picture without a profile, with an sRGB profile (recognised as such, not
# converted) and with an Adobe RGB profile (converted), in one run. Each
# figure is the best of N runs: wall seconds, user CPU seconds and peak
# memory (maximum resident set, MB).
#
#   bench/colour.sh [--reps N]
# Installs what it needs through scripts/install-deps.sh.
# Environment: BUILD_DIR (default build-bench in the source tree).
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-bench}
reps=5
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

"$src/scripts/install-deps.sh" >/dev/null
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target spi_jpeg vantoria-plugin-decode >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-colour.XXXXXX")
trap 'rm -rf "$work"' EXIT

icc=/usr/share/color/icc/colord
convert -size 600x400 xc: +noise Random -resize '6000x4000!' -depth 8 "$work/big.ppm"
convert "$work/big.ppm" -quality 90 "$work/plain.jpg"
convert "$work/big.ppm" -profile "$icc/sRGB.icc" -quality 90 "$work/srgb.jpg"
convert "$work/big.ppm" -profile "$icc/AdobeRGB1998.icc" -quality 90 "$work/adobe.jpg"
rm "$work/big.ppm"

printf 'picture\twall s\tuser s\tMB\n'
for name in plain srgb adobe; do
  bestWall="" bestUser="" bestMem=""
  for _ in $(seq "$reps"); do
    /usr/bin/time -f '%e %U %M' -o "$work/time" \
      "$build/bin/vantoria-plugin-decode" "$build/bin/jpeg.spi" "$work/$name.jpg" >/dev/null
    read -r t u m < "$work/time"
    if [ -z "$bestWall" ] || awk -v a="$t" -v b="$bestWall" 'BEGIN{exit !(a<b)}'; then
      bestWall=$t; bestMem=$m
    fi
    if [ -z "$bestUser" ] || awk -v a="$u" -v b="$bestUser" 'BEGIN{exit !(a<b)}'; then bestUser=$u; fi
  done
  printf '%s\t%s\t%s\t%s\n' "$name" "$bestWall" "$bestUser" "$(awk -v k="$bestMem" 'BEGIN{printf "%.0f", k/1024}')"
done
