#!/usr/bin/env bash
# The end-to-end tests on the desktops that CI does not install: LXQt
# (pcmanfm-qt --desktop), MATE (caja, with its background settings), and the
# shells of GNOME (gnome-shell --x11) and KDE Plasma (plasmashell under kwin),
# which take too long to install and start for every run (Plasma also with
# a picture per monitor on two outputs of Xorg's dummy driver, and scaled to
# twice its size on two outputs of different sizes); beside those
# CI runs (XFCE, LXDE, headless sway, several X11 monitors, the tray panels).
# Installs the programs when they are missing (as root, or through sudo),
# builds the test program in build/ and runs it. Each desktop runs in a
# private session (Xvfb, its own D-Bus bus, private HOME and XDG folders).
set -euo pipefail
cd "$(dirname "$0")/../.."

packages=(pcmanfm-qt caja dconf-service dconf-gsettings-backend gnome-shell plasma-desktop plasma-workspace kwin-x11
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

scripts/install-deps.sh
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target desktops_test
VANTORIA_OPTIONAL_DESKTOPS=1 build/bin/desktops_test "$@"
