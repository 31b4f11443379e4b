#!/usr/bin/env bash
# Installs what is needed, builds Vantoria and runs it.
#
# With a display (DISPLAY or WAYLAND_DISPLAY set) it starts the tray program
# there, from the folder that holds the shipped plug-ins, so it finds them
# without any setting; its icon appears in the notification area.
#
# Without a display it runs the main job where it can be seen and harms
# nothing: it starts a virtual X server (1280x800),
# makes the bundled sample picture its wallpaper with vantoria-change in the
# "tiled, one copy centred" layout with alternating columns, and saves a
# screenshot of that screen as a PNG, whose path it prints. The
# demonstration leaves the user's own desktop and settings alone.
#
#   scripts/run.sh --tray   always starts the tray program
#   scripts/run.sh --demo   always runs the demonstration on a virtual screen
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vantoria vantoria-change plugins

bin="$top/build/bin"
mode=${1:-}
case "$mode" in --tray|--demo) shift ;; *) mode= ;; esac
if [ "$mode" = "--tray" ] || { [ -z "$mode" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; }; then
  cd "$bin"
  exec ./vantoria "$@"
fi

out="$top/build/screenshot.png"
work=$(mktemp -d)
pids=()
cleanup() {
  # Last started first: the programs end before their X server goes.
  for (( i=${#pids[@]}-1; i>=0; i-- )); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd: the server picks a free display number and tells it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

# A private settings folder and start folder: the demonstration leaves the
# user's own settings alone. The start folder links to the plug-ins, which is
# where the plug-in folder setting points by default.
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
mkdir -p "$work/start"
ln -s "$bin"/*.spi "$work/start/"
(cd "$work/start" && "$bin/vantoria-change" --desktop x11 --position 2 --arrange 2 --no-run \
  "$top/data/samples/sample.png")
import -window root "$out"
echo "Wallpaper applied on a virtual 1280x800 screen; screenshot: $out"
