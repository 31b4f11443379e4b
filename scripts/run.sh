#!/usr/bin/env bash
# Installs what is needed, builds Vantoria and runs it.
# With a display: starts the tray program (from the folder that holds the
# shipped plug-ins, so it finds them without any setting).
# Without a display: starts a virtual X server, shows the program there and
# saves a screenshot of the screen as a PNG, whose path it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vantoria

bin="$top/build/bin"
if [ -n "${DISPLAY:-}" ]; then
  cd "$bin"
  exec ./vantoria "$@"
fi

out="$top/build/screenshot.png"
work=$(mktemp -d)
cleanup() {
  # Last started first: the program ends before its X server goes.
  for (( i=${#pids[@]}-1; i>=0; i-- )); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
pids=()
trap cleanup EXIT

display=":$(( 90 + RANDOM % 400 ))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# A private settings folder, so the demonstration leaves the user's alone.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
(cd "$bin" && exec ./vantoria /debug) &
pids+=($!)
for _ in $(seq 50); do xdotool search --name form_Main >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
import -window root "$out"
echo "Vantoria ran on a virtual screen; screenshot: $out"
