#!/usr/bin/env bash
# Builds kovomaint and runs every test: once in a normal build, once with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== normal build"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build"
run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKOVO_SANITIZE=ON -DKOVO_BENCHMARKS=OFF
echo "== fuzzing, 30 s a target"
scripts/fuzz.sh 30
