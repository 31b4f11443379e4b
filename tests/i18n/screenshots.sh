#!/usr/bin/env bash
# Screenshots of the tray menu and every dialog in English and in Japanese,
# on a private X server with a window manager, for looking at by hand:
#
#   tests/i18n/screenshots.sh [BUILD_DIR] [OUT_DIR]
#
# writes OUT_DIR/<locale>/<form>.png (default /tmp/i18n-shots).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
out=${2:-/tmp/i18n-shots}
probe=$build/bin/translations_test
[ -x "$probe" ] || { echo "screenshots: build $probe first" >&2; exit 1; }
for _ in $(seq 50); do
  display=$((RANDOM % 900 + 100))
  [ -e /tmp/.X$display-lock ] || break
done
tmp=$(mktemp -d)
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
wm=
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
HOME=$tmp XDG_CONFIG_HOME=$tmp/config DISPLAY=:$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
for lang in en_US.UTF-8 ja_JP.UTF-8; do
  mkdir -p "$out/$lang"
  env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=$lang DISPLAY=:$display QT_QPA_PLATFORM=xcb \
    "$probe" --screenshots "$out/$lang"
done
