#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# The programs speak the user's language; the tests expect the source texts
# (the translation tests choose their own locales).
export LANG=C.UTF-8
unset LANGUAGE LC_ALL LC_MESSAGES
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The Debian package, built from this tree and tried unpacked in a temporary
# root: never installed here.
scripts/package.sh
tests/package/check-package.sh

# The fuzz targets, built with clang's address and undefined-behaviour
# sanitizers, replay their seed corpora and every hostile file the tests keep.
# Replay only: a random search belongs to longer runs by hand.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTORIA_FUZZ=ON -DVANTORIA_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets dib_test imaging_test
# The unit tests that replay the kept crashers assert nothing but survival:
# here, under the sanitizers, a bad read fails them.
VANTORIA_TEST_DATA=tests/data build-fuzz/bin/dib_test --gtest_filter='DibError.CrashersStaySafe'
VANTORIA_TEST_DATA=tests/data build-fuzz/bin/imaging_test --gtest_filter='PluginPicture.HostileInputsStayHarmless'
replay() {
  local target=$1; shift
  echo "replaying $target"
  build-fuzz/bin/"$target" -runs=0 -rss_limit_mb=2048 "$@" 2>&1 | tail -n 1
  [ "${PIPESTATUS[0]}" -eq 0 ]
}
# tests/fuzz/replay/<target>.dirs: the folders (and files) each target replays.
for list in tests/fuzz/replay/*.dirs; do
  # shellcheck disable=SC2046 # one folder a word
  replay "$(basename "$list" .dirs)" $(cat "$list")
done
