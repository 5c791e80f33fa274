#!/usr/bin/env bash
# Cross-builds kovomaint.exe and its Windows tests with mingw-w64, for x86-64
# (build-windows/) and i686 (build-windows-i686/, where 32-bit wine runs), and
# runs the tests under wine, 64-bit and 32-bit, in a pseudo-terminal (a
# console) of two sizes;
# then shows the Windows build a run that the Linux build cut off.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
scripts/install-deps.sh  # the Linux build, for the run it cuts off

# wine keeps everything it writes inside this folder.
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix HOME=$scratch/home WINEDEBUG=-all \
  WINEDLLOVERRIDES=winemenubuilder.exe=d LANG=C.UTF-8
mkdir -p "$HOME"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

builds=(build-windows build-windows-i686)
toolchains=(cmake/mingw-w64-x86_64.cmake cmake/mingw-w64-i686.cmake)
# A kernel without 32-bit support (no IA32 emulation) runs no 32-bit wine,
# not even under qemu-user: there the 64-bit tests run under wine64 alone,
# and the i686 ones are not built (scripts/package.sh builds the i686
# programs), which is said.
wine=wine
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || ! wine --version >/dev/null 2>&1; then
  wine=/usr/lib/wine/wine64
  echo "== this kernel runs no 32-bit programs: the i686 Windows tests are not run"
  builds=(build-windows)
fi
for i in "${!builds[@]}"; do
  cmake -S . -B "${builds[i]}" -DCMAKE_TOOLCHAIN_FILE="${toolchains[i]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DKOVO_WERROR=ON -DKOVO_REQUIRE_TESTS=ON >/dev/null
  cmake --build "${builds[i]}" -j "$(nproc)"
done

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
# The Windows build finishes a run that the Linux build cut off in its write,
# in one folder: the file ends as a whole run leaves it. (The reverse is not
# checked here: wine gives the journal a mode of 0775 from the file's access
# list, wider than the file's 0644, which the Linux build rightly refuses.)
cmake -S . -B build-test -DBUILD_TESTING=ON >/dev/null
cmake --build build-test -j "$(nproc)" --target kovomaint cut_off_run >/dev/null
here=$PWD
cp sample/kovo.fon "$scratch/kovo.fon"
(cd "$scratch" && "$here/build-test/kovomaint" Y >/dev/null && mv kovo.fon tidy.fon)
echo "== a run cut off by the Linux build, finished by the Windows build"
folder=$scratch/cut-off
mkdir -p "$folder"
cp sample/kovo.fon "$folder/kovo.fon"
# The cut-off program ends with status 9 in the write, as a kill would end it.
(cd "$folder" && { "$here/build-test/tests/cut_off_run" || [ $? -eq 9 ]; } && [ -f kovo.fon-journal ] &&
  $wine "$here/${builds[0]}/kovomaint.exe" Y >/dev/null 2>&1) || status=1
cmp -s "$folder/kovo.fon" "$scratch/tidy.fon" && [ ! -e "$folder/kovo.fon-journal" ] || { echo "not finished"; status=1; }
exit $status
