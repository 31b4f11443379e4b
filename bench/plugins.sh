#!/usr/bin/env bash
# Times the plug-ins built on format libraries against each format's own
# command-line decoder, on the same 6000 x 4000 (24 MP) photograph-like
# picture, in one run, and prints one table a format:
#   vantoria-change decoding the file through its plug-in, stretching it to
#   3840 x 2160 and writing the buffer file (--desktop none), and the
#   plug-in alone decoding it (vantoria-plugin-decode), against
#   WebP: dwebp -bmp;  AVIF: heif-convert to PNG and to Y4M (Y4M leaves out
#   the colour conversion, so it is the decode alone);  JPEG XL: djxl to PPM;
#   TIFF (LZW): tiffcp -c none and ImageMagick's convert to BMP.
# Each figure is the best of N runs (wall seconds) with that run's peak
# memory (maximum resident set, MB).
#
#   bench/plugins.sh [--reps N]
# Installs what it needs through scripts/install-deps.sh.
# Environment: BUILD_DIR (default build-bench in the source tree).
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build-bench}
reps=3
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

"$src/scripts/install-deps.sh" >/dev/null
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vantoria-change plugins vantoria-plugin-decode >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-plugins.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A photograph-like picture: smooth random texture, as hard to code as a
# real photograph of that size. The encoders take the faster settings.
convert -size 600x400 xc: +noise Random -resize '6000x4000!' -depth 8 "$work/big.ppm"
cwebp -quiet -q 85 "$work/big.ppm" -o "$work/big.webp"
convert "$work/big.ppm" PNG24:"$work/big.png"
heif-enc -A -q 70 -p speed=8 "$work/big.png" -o "$work/big.avif" >/dev/null
cjxl -d 1 -e 3 "$work/big.png" "$work/big.jxl" >/dev/null 2>&1
convert "$work/big.ppm" -compress lzw "$work/big.tif"
rm "$work/big.png"

. "$src/bench/lib.sh"
start_folder

# The first two rows are ours (the whole program, the plug-in alone); every
# other row gets their time and memory as multiples of its own (goal: time
# x1.30 or less, memory x1.00 or less).
table() {
  awk -F'\t' 'NR==1{pt=$2; pm=$3} NR==2{dt=$2; dm=$3}
    {printf "  %-30s %7.3f s %6d MB", $1, $2, $3;
     if (NR>2) printf "   program: time x%.2f, memory x%.2f; plug-in: time x%.2f, memory x%.2f",
                      pt/$2, pm/$3, dt/$2, dm/$3;
     printf "\n"}'
}

# ours FILE PLUGIN: vantoria-change stretching FILE onto the screen, then
# the plug-in decoding it and nothing else.
ours() {
  best vantoria-change "$change" --desktop none --no-run --screen 3840x2160 --position 0 --size 1 "$1"
  best "$2 alone" "$build/bin/vantoria-plugin-decode" "$build/bin/$2" "$1"
}

echo "== WebP 6000x4000 (lossy)"
{ ours "$work/big.webp" webp.spi; best "dwebp -bmp" dwebp "$work/big.webp" -bmp -o "$work/out.bmp"; } | table
echo
echo "== AVIF 6000x4000"
{ ours "$work/big.avif" heif.spi
  best "heif-convert to PNG" heif-convert "$work/big.avif" "$work/out.png"
  best "heif-convert to Y4M" heif-convert "$work/big.avif" "$work/out.y4m"; } | table
echo
echo "== JPEG XL 6000x4000 (distance 1)"
{ ours "$work/big.jxl" jxl.spi; best "djxl to PPM" djxl "$work/big.jxl" "$work/out.ppm"; } | table
echo
echo "== TIFF 6000x4000 (LZW)"
{ ours "$work/big.tif" tiff.spi
  best "tiffcp -c none" tiffcp -c none "$work/big.tif" "$work/out.tif"
  best "convert to BMP" convert "$work/big.tif" BMP3:"$work/out.bmp"; } | table
