#!/usr/bin/env bash
# Builds kovomaint and runs it with switch Y on a scratch copy of the sample
# directory file, listing the file before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target kovomaint kovolist >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp sample/kovo.fon "$scratch/kovo.fon"
program=$PWD/build

# kovomaint clears the screen, so the listing made before the run is shown
# after it, beside the listing of the result.
before=$(cd "$scratch" && "$program/kovolist")
status=0
(cd "$scratch" && "$program/kovomaint" Y) || status=$?
echo "(kovomaint Y: exit status $status)"
echo
echo "== kovo.fon before"
printf '%s\n' "$before"
echo
echo "== kovo.fon after"
(cd "$scratch" && "$program/kovolist")
