#!/usr/bin/env bash
# Cross-builds kovomaint.exe and its Windows tests with mingw-w64, for x86-64
# (build-windows/) and i686 (build-windows-i686/), and runs the tests under
# wine, 64-bit and 32-bit, in a pseudo-terminal (a console) of two sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

builds=(build-windows build-windows-i686)
toolchains=(cmake/mingw-w64-x86_64.cmake cmake/mingw-w64-i686.cmake)
for i in 0 1; do
  cmake -S . -B "${builds[i]}" -DCMAKE_TOOLCHAIN_FILE="${toolchains[i]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DKOVO_WERROR=ON -DKOVO_REQUIRE_TESTS=ON >/dev/null
  cmake --build "${builds[i]}" -j "$(nproc)"
done

# wine keeps everything it writes inside this folder.
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix HOME=$scratch/home WINEDEBUG=-all \
  WINEDLLOVERRIDES=winemenubuilder.exe=d LANG=C.UTF-8
mkdir -p "$HOME"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

# A kernel without 32-bit support (no IA32 emulation) runs no 32-bit wine:
# there the 64-bit tests run under wine64 alone, and the i686 ones are built
# but not run, which is said.
wine=wine
if ! wine --version >/dev/null 2>&1 && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
  wine=/usr/lib/wine/wine64
  echo "== this kernel runs no 32-bit programs: the i686 Windows tests are built, not run"
  builds=(build-windows)
fi

status=0
for build in "${builds[@]}"; do
  for size in "25 80" "8 30"; do
    read -r rows columns <<<"$size"
    echo "== Windows tests of $build under wine, console ${columns}x${rows}"
    log=$scratch/tests.log
    script -qec "stty rows $rows cols $columns; $wine $build/windows_tests.exe --gtest_color=no >'$log' 2>&1" \
      /dev/null </dev/null >/dev/null 2>&1 || status=1
    grep -E '^\[  (PASSED|FAILED|SKIPPED) |Failure|^ *(Which is|Expected)|tests? ran' "$log" || cat "$log"
  done
done
exit $status
