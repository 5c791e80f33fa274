#!/usr/bin/env bash
# Builds the two programs (with nothing but a compiler and CMake), runs
# "kovomaint Y" on a scratch copy of sample/kovo.fon so that its screen shows,
# after "kovolist --check Y" has said what it will change, then lists the used
# slots before and after, side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh programs
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-demo -j "$(nproc)" --target kovomaint kovolist >/dev/null
program=$PWD/build-demo

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp sample/kovo.fon "$scratch/kovo.fon"
cd "$scratch"

# Slot number and first field of each used slot, then the count.
used_slots() {
  "$program/kovolist" --used | sed -E 's/^ *([0-9]+) used \[[0-9>]+\]"([^"]*)".*/\1 \2/'
}
before=$(used_slots)

# What the run will change, erasures included, asked before it changes
# anything; shown after its screen, which starts by clearing the terminal.
check=$("$program/kovolist" --check Y 2>&1 || true)

status=0
"$program/kovomaint" Y || status=$?
echo "Before the run, kovolist --check Y said:"
printf '%s\n\n' "$check"
echo "kovomaint Y: exit status $status. Used slots (number, first field):"
paste -d '\n' <(echo before; printf '%s\n' "$before") <(echo after; used_slots) |
  paste - - | awk -F '\t' '{ printf "  %-36s %s\n", $1, $2 }'
