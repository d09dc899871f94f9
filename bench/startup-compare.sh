#!/usr/bin/env bash
# Start-up of the Tarvex window against a bare Qt window with as many controls,
# each from process start to the window painted: wall time as the median of
# interleaved runs, and instructions counted by callgrind (repeatable on a busy
# machine), side by side with their ratios.
# Usage: bench/startup-compare.sh BUILD_DIR [RUNS]   (BUILD_DIR configured with -DTARVEX_BUILD_BENCHMARKS=ON)
set -euo pipefail
bench="${1:-build}/bench/window_bench"
runs=${2:-21}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
count=$("$bench" --count 2>/dev/null)
real=(--startup=real)
bare=(--startup=bare "$count")
microseconds() {
  local start end
  start=$(date +%s%N)
  "$bench" "$@" 2>/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
"$bench" "${real[@]}" 2>/dev/null; "$bench" "${bare[@]}" 2>/dev/null  # warm the file cache
realTimes=() bareTimes=()
for _ in $(seq "$runs"); do
  realTimes+=("$(microseconds "${real[@]}")")
  bareTimes+=("$(microseconds "${bare[@]}")")
done
realWall=$(printf '%s\n' "${realTimes[@]}" | median)
bareWall=$(printf '%s\n' "${bareTimes[@]}" | median)
echo "platform: $QT_QPA_PLATFORM, controls: $count, runs: $runs"
printf '%-16s %12s %14s\n' "" "wall (us)" "instructions"
if command -v valgrind >/dev/null; then
  instructions() {
    # The program's own process only: what a child forked to start a helper
    # (D-Bus autolaunch under X) does before its exec is not start-up.
    valgrind --tool=callgrind --child-silent-after-fork=yes --callgrind-out-file=/dev/null "$bench" "$@" 2>&1 \
      >/dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -n 1
  }
  realCount=$(instructions "${real[@]}")
  bareCount=$(instructions "${bare[@]}")
else
  realCount=0 bareCount=1
fi
printf '%-16s %12s %14s\n' "Tarvex window" "$realWall" "$realCount" "bare window" "$bareWall" "$bareCount"
awk -v rw="$realWall" -v bw="$bareWall" -v ri="$realCount" -v bi="$bareCount" \
  'BEGIN { printf "%-16s %12.2f %14.2f   (target at most 1.20)\n", "ratio", rw / bw, ri / bi }'
