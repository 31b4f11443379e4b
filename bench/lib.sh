# Helpers shared by the comparison scripts (compare.sh, plugins.sh).
# Source it after setting $build (the build folder), $work (a scratch
# folder) and $reps (runs per figure).

# start_folder: a start folder for vantoria-change in $work/start, with
# private settings and the plug-ins linked in, as the run command does it;
# sets $change to the program.
start_folder() {
  mkdir -p "$work/start"
  ln -s "$build"/bin/*.spi "$work/start/"
  export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" HOME="$work"
  change="$build/bin/vantoria-change"
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
