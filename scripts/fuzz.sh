#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 30) on a scratch copy of its corpus in fuzz/corpus/. Fails on any finding;
# the input that found it is left in the current directory (crash-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/install-deps.sh

CXX=clang++ cmake -S . -B build-fuzz -DKOVO_FUZZ=ON -DKOVO_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target directory_passes_fuzzer console_writer_fuzzer

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in directory_passes console_writer; do
  mkdir -p "$scratch/$target"
  echo "== fuzzing $target for ${seconds}s"
  status=0
  build-fuzz/fuzz/${target}_fuzzer -max_total_time="$seconds" -max_len=20000 \
    -print_final_stats=1 "$scratch/$target" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1 \
    || status=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)|cov: .* (DONE|INITED)' \
    "$scratch/$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$scratch/$target.log"
    echo "fuzz target $target found a failure"
    exit 1
  fi
done
