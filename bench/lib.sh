# Helpers shared by the benchmark scripts (compare.sh, plugins.sh, sandbox.sh
# and the A/B comparisons). Source it after setting $build (the build
# folder), $work (a scratch folder, or call bench_work) and $reps (runs per
# figure).

# bench_work NAME: a fresh scratch folder in $work, removed at exit together
# with the X server start_xvfb started.
bench_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/vantoria-$1.XXXXXX")
  xvfb_pid=
  trap 'stop_xvfb; rm -rf "$work"' EXIT
}

# start_xvfb WIDTHxHEIGHT: a private X server (24 bits) on a display it picks
# free itself; exports DISPLAY, sets $xvfb_pid. -noreset: a desktop session
# always has other clients, so its server never resets between two programs.
start_xvfb() {
  : >"$work/display"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb $1 did not start" >&2; return 1; }
  export DISPLAY=":$(cat "$work/display")"
}

# stop_xvfb: ends the server start_xvfb started, if any.
stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=
}

# private_home: settings, caches and home in $work, never the user's own.
private_home() {
  export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" HOME="$work"
}

# plugin_settings CONFIG_HOME PLUGIN_FOLDER: settings in CONFIG_HOME that
# name PLUGIN_FOLDER the plug-in folder.
plugin_settings() {
  mkdir -p "$1/vantoria"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"PathPlugin"="%s"\n' \
    "$2" >"$1/vantoria/registry.reg"
}

# start_folder [FOLDER [BIN]]: a start folder for vantoria-change (default
# $work/start), with private settings and BIN's plug-ins (default
# $build/bin) linked in, as the run command does it; sets $change to BIN's
# program.
start_folder() {
  local folder=${1:-$work/start} bin=${2:-$build/bin}
  mkdir -p "$folder"
  ln -s "$bin"/*.spi "$folder/"
  private_home
  change="$bin/vantoria-change"
}

# best NAME COMMAND...: runs the command N times in $work/start, prints
# "NAME<tab>seconds<tab>megabytes" of the fastest run.
best() {
  local name=$1; shift
  local bestTime="" bestMem=""
  for _ in $(seq "$reps"); do
    (cd "$work/start" && /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err") ||
      { echo "$name failed: $(cat "$work/err")" >&2; return 1; }
    read -r t m < "$work/time"
    if [ -z "$bestTime" ] || awk -v a="$t" -v b="$bestTime" 'BEGIN{exit !(a<b)}'; then
      bestTime=$t; bestMem=$m
    fi
  done
  printf '%s\t%s\t%s\n' "$name" "$bestTime" "$(awk -v k="$bestMem" 'BEGIN{printf "%.0f", k/1024}')"
}
