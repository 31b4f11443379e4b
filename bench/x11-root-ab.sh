#!/usr/bin/env bash
# vantoria-change on bare X11 against another build of it (an older one),
# taken in turn: wall time and processor time of the program (medians of
# REPS runs each) and the X server's processor time (mean per change), on X
# servers of 1920 x 1080, 2560 x 1440 and 3840 x 2160, with a smooth
# 6000 x 4000 JPEG stretched and an 800 x 600 one centred. Each case also
# says whether both builds left the same pixels on the root.
#
#   bench/x11-root-ab.sh OTHER_BUILD_DIR [--reps N]
# Environment: BUILD_DIR (default build in the source tree). Both folders
# need bin/vantoria-change, its helper and the plug-ins built.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$src/build}
other=$(readlink -f "${1:?usage: $0 OTHER_BUILD_DIR [--reps N]}")
shift
reps=15
if [ "${1:-}" = "--reps" ] && [ -n "${2:-}" ]; then reps=$2; fi

. "$src/bench/lib.sh"
bench_work x11-ab

convert -size 6000x4000 -define gradient:angle=35 gradient:'#1e3c72-#f0c27b' -quality 90 "$work/smooth.jpg"
convert -size 800x600 -define gradient:angle=35 gradient:'#1e3c72-#f0c27b' -quality 90 "$work/small.jpg"
start_folder "$work/startA" "$build/bin"
start_folder "$work/startB" "$other/bin"
declare -A program=([A]="$build/bin/vantoria-change" [B]="$other/bin/vantoria-change")

# measure.py SERVER_PID REPS FILE ARGS...: runs A and B in turn, prints
# medians of wall and processor time (wait4's, µs-exact; the helper counts
# when the program waits for it) and the server's mean processor time.
cat >"$work/measure.py" <<'PY'
import os, statistics, subprocess, sys, time
pid, reps, file, args = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
work, programs = os.environ["WORK"], {"A": os.environ["PROG_A"], "B": os.environ["PROG_B"]}
hz = os.sysconf("SC_CLK_TCK")
def server():
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / hz
def run(side):
    t0 = time.perf_counter()
    child = subprocess.Popen([programs[side], "--desktop", "x11", "--no-run", *args, file],
                             cwd=f"{work}/start{side}", stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    err = child.stderr.read()
    _, status, usage = os.wait4(child.pid, 0)
    wall = (time.perf_counter() - t0) * 1000
    if status != 0: sys.exit(f"{side} failed: {err.decode()}")
    return wall, (usage.ru_utime + usage.ru_stime) * 1000
times = {"A": [], "B": []}
spent = {"A": 0.0, "B": 0.0}
for r in range(reps):
    for side in ("AB" if r % 2 == 0 else "BA"):
        s0 = server()
        times[side].append(run(side))
        spent[side] += server() - s0
med = lambda side, i: statistics.median(t[i] for t in times[side])
print(f"{med('A', 0):9.1f} {med('B', 0):9.1f} {med('A', 1):8.1f} {med('B', 1):8.1f} "
      f"{spent['A'] / reps:8.1f} {spent['B'] / reps:8.1f} {med('A', 0) / med('B', 0):8.3f}")
PY
export WORK="$work" PROG_A="${program[A]}" PROG_B="${program[B]}"

# once SIDE FILE ARGS...: one change, for the pixels.
once() {
  local side=$1 file=$2; shift 2
  (cd "$work/start$side" && "${program[$side]}" --desktop x11 --no-run "$@" "$file" >/dev/null)
}

echo "Machine: $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg); medians of $reps runs in turn"
echo "A: $build   B: $other"
echo "(ms; cpu: the program's, X: the server's mean per change)"
printf '%-10s %-20s %9s %9s %8s %8s %8s %8s %8s %s\n' root picture "A wall" "B wall" "A cpu" "B cpu" "A X" "B X" "wall A/B" pixels
for root in 1920x1080 2560x1440 3840x2160; do
  start_xvfb "$root"
  for case in "smooth.jpg stretched|smooth.jpg --position 0 --size 1" "small.jpg centred|small.jpg --position 0 --size 0"; do
    name=${case%%|*}
    read -r file args <<<"${case#*|}"
    once A "$work/$file" $args; xwd -root -silent >"$work/A.xwd"
    once B "$work/$file" $args; xwd -root -silent >"$work/B.xwd"
    same=$(compare -metric AE "$work/A.xwd" "$work/B.xwd" null: 2>&1 || true)
    printf '%-10s %-20s %s %s\n' "$root" "$name" "$(python3 "$work/measure.py" "$xvfb_pid" "$reps" "$work/$file" $args)" \
      "$([ "$same" = 0 ] && echo same || echo "differ ($same)")"
  done
  stop_xvfb
done
