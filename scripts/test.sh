#!/usr/bin/env bash
# Builds kovomaint and runs the Linux tests: once in a normal build (g++), once
# with AddressSanitizer and UndefinedBehaviorSanitizer (clang), both with
# warnings as errors, -Wconversion included. It builds in folders of its own,
# build-test/ and build-sanitize/, never in build/.
# A missing test library fails the configure: nothing is skipped here. The
# Windows build's tests run under wine from scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DBUILD_TESTING=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

strict=(-DKOVO_WERROR=ON -DKOVO_REQUIRE_TESTS=ON -DCMAKE_CXX_FLAGS=-Wconversion)
echo "== normal build (g++)"
CXX=g++ run_suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo "${strict[@]}"
echo "== sanitizer build (clang)"
CXX=clang++ run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKOVO_SANITIZE=ON \
  -DKOVO_BENCHMARKS=OFF "${strict[@]}"
