#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60)
# on its corpus in fuzz/corpus. New inputs go to a scratch copy, so the
# committed corpus stays small.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CXX=clang++ CC=clang cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_BUILD_FUZZERS=ON \
  -DTARVEX_BUILD_UI=OFF -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target catalogue_fuzzer save_fuzzer registry_fuzzer gif_fuzzer pk3_fuzzer arena_fuzzer levelshot_fuzzer config_fuzzer
for target in catalogue save registry gif pk3 arena levelshot config; do
  work=$(mktemp -d)
  cp fuzz/corpus/$target/* "$work/" 2>/dev/null || true
  echo "== ${target}_fuzzer for ${seconds}s"
  build-fuzz/fuzz/${target}_fuzzer -max_total_time="$seconds" -max_len=200000 -rss_limit_mb=2048 \
    -print_final_stats=1 "$work" 2>&1 | grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|.*ERROR|#[0-9]+[[:space:]]+DONE)" || true
  rm -rf "$work"
done
