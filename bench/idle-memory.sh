#!/bin/sh
# Resident memory and CPU use of the idle tray program: starts it on a
# private Xvfb with trayer as the tray host (private settings and start
# folder), lets it settle, then prints its resident set (goal: under 60 MB)
# and the CPU time it used over an idle minute (the one-second timer only).
#
#   bench/idle-memory.sh [--seconds N]     (default 60)
# Environment: BUILD_DIR (default build in the source tree; built if needed).
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build}
seconds=60
if [ "${1:-}" = "--seconds" ] && [ -n "${2:-}" ]; then seconds=$2; fi
cmake --build "$build" --target vantoria plugins >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-idle.XXXXXX")
pids=
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids="$!"
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work"
mkdir -p "$XDG_RUNTIME_DIR" "$work/start" && chmod 700 "$XDG_RUNTIME_DIR"
trayer --edge top --align left --widthtype pixel --width 64 --heighttype pixel --height 24 >/dev/null 2>&1 &
pids="$! $pids"
ln -s "$build"/bin/*.spi "$work/start/"
(cd "$work/start" && exec env QT_QPA_PLATFORM=xcb "$build/bin/vantoria") >/dev/null 2>&1 &
app=$!
pids="$app $pids"

sleep 5  # start-up: fonts, the tray icon docking
ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$app/status")
hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$app/status")

awk -v rss="$rss" -v hwm="$hwm" -v cpu=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN {
    printf "%-34s %10s\n", "idle tray program", "value"
    printf "%-34s %7.1f MB\n", "resident set (VmRSS)", rss / 1024
    printf "%-34s %7.1f MB\n", "peak resident set (VmHWM)", hwm / 1024
    printf "%-34s %7.2f s\n", "CPU time over " s " s idle", cpu / hz
}'
