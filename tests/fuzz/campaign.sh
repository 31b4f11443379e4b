#!/usr/bin/env bash
# Fuzzes every plug-in's target in turn for MINUTES each (default 5), at the
# lowest priority, and keeps what it finds: inputs that reach new code are
# merged into the target's corpus (the first folder of its replay list), and
# inputs that crash, leak or hang are kept there too, so that the replay of
# the test command fails until they are fixed. Builds the sanitizer build
# first (build-fuzz, as scripts/test.sh does).
#   tests/fuzz/campaign.sh [MINUTES] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
minutes=${1:-5}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(pict_fuzz mag_fuzz pi_fuzz pic_fuzz dib_plugin_fuzz png_fuzz jpeg_fuzz jpeg_rows_fuzz gif_fuzz webp_fuzz
           tiff_fuzz heif_fuzz jxl_fuzz xpm_fuzz mng_fuzz)
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTORIA_FUZZ=ON -DVANTORIA_BUILD_BENCH=OFF >/dev/null
nice -n 19 cmake --build build-fuzz --target "${targets[@]}"

log=build-fuzz/campaign
mkdir -p "$log"
for target in "${targets[@]}"; do
  read -r -a dirs < "tests/fuzz/replay/$target.dirs"
  corpus=${dirs[0]}
  work=$(mktemp -d)
  echo "== $target: $minutes min into $corpus"
  # Small inputs only (the corpora are kept in the repository); a run ends
  # at its first finding, which is written into the corpus folder.
  status=0
  nice -n 19 build-fuzz/bin/"$target" -max_total_time=$((minutes * 60)) -max_len=4096 -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$corpus/" "$work" "${dirs[@]}" \
    >"$log/$target.log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$log/$target.log" || true
  if [ "$status" -ne 0 ]; then
    echo "   found a failure (exit $status): see $log/$target.log"
    grep -E '^artifact_prefix|Test unit written' "$log/$target.log" || true
  fi
  # Only what adds coverage over the corpus joins it.
  before=$(find "$corpus" -type f | wc -l)
  # (a merge that trips over a finding again leaves its copy with the rest of $work)
  nice -n 19 build-fuzz/bin/"$target" -merge=1 -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$work/" "$corpus" "$work" \
    >>"$log/$target.log" 2>&1 || echo "   merge failed: see $log/$target.log"
  echo "   corpus: $before -> $(find "$corpus" -type f | wc -l) files"
  rm -rf "$work"
done
