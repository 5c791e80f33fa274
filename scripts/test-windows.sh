#!/usr/bin/env bash
# Cross-builds kovomaint.exe and its Windows tests with mingw-w64 and runs
# the tests under wine, in a pseudo-terminal (a console) of two sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DKOVO_WERROR=ON -DKOVO_REQUIRE_TESTS=ON >/dev/null
cmake --build build-windows -j "$(nproc)"

# wine keeps everything it writes inside this folder.
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix HOME=$scratch/home WINEDEBUG=-all \
  WINEDLLOVERRIDES=winemenubuilder.exe=d LANG=C.UTF-8
mkdir -p "$HOME"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

status=0
for size in "25 80" "8 30"; do
  read -r rows columns <<<"$size"
  echo "== Windows tests under wine, console ${columns}x${rows}"
  log=$scratch/tests-${columns}x${rows}.log
  script -qec "stty rows $rows cols $columns; wine build-windows/windows_tests.exe --gtest_color=no >'$log' 2>&1" \
    /dev/null </dev/null >/dev/null 2>&1 || status=1
  grep -E '^\[  (PASSED|FAILED|SKIPPED) |Failure|^ *(Which is|Expected)|tests? ran' "$log" || cat "$log"
done
exit $status
