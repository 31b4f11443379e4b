#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Vantoria needs.
# Does nothing when they are all present.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libx11-dev libxext-dev libxrandr-dev libpixman-1-dev
  libturbojpeg0-dev libspng-dev libpng-dev libgif-dev
  # tests and benchmarks (clang: the sanitizer builds of the fuzz targets)
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps x11-utils imagemagick trayer xdotool
  libglib2.0-bin gsettings-desktop-schemas
  # running
  fonts-ipafont-gothic
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
