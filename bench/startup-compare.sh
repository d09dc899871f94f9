#!/usr/bin/env bash
# Start-up of the Tarvex window against a bare Qt window with the same number
# of controls, each from process start to the window shown, side by side.
# Usage: bench/startup-compare.sh BUILD_DIR [RUNS]
set -euo pipefail
bench="${1:-build}/bench/window_bench"
runs=${2:-20}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
count=$("$bench" --count 2>/dev/null)
measure() {
  local start end total=0
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$bench" "$@" 2>/dev/null
    end=$(date +%s%N)
    total=$((total + end - start))
  done
  echo $((total / runs / 1000))
}
"$bench" --startup=real 2>/dev/null; "$bench" --startup=bare "$count" 2>/dev/null  # warm the file cache
real=$(measure --startup=real)
bare=$(measure --startup=bare "$count")
echo "controls: $count"
echo "Tarvex window: ${real} us"
echo "bare window:   ${bare} us"
awk -v r="$real" -v b="$bare" 'BEGIN { printf "ratio:         %.2f (target at most 1.50)\n", r / b }'
