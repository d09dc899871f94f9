#!/bin/bash
# Builds the benchmarks (Release, in build-bench/) and prints each figure
# against its goal, and whether it holds. Run it on a machine that is
# otherwise quiet: the figures are ratios to a peer measured in the same run
# where one exists (unzip -l, a minimal client), times and memory where not.
# Usage: bench/run-all.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
command -v unzip > /dev/null || apt-get install -y unzip > /dev/null
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_BENCHMARKS=ON > /dev/null
cmake --build "$build" -j2 --target discovery_bench status_bench window_bench > /dev/null
cd "$build/bench"

rows=()
holds=0
fails=0
# row WHAT MEASURED GOAL_TEXT CONDITION(awk expression over v)
row() {
  local what=$1 value=$2 unit=$3 goal=$4 test=$5
  local verdict
  if awk -v v="$value" "BEGIN { exit !($test) }"; then
    verdict=holds
    holds=$((holds + 1))
  else
    verdict=MISSED
    fails=$((fails + 1))
  fi
  rows+=("$(printf '%-58s %10s %-4s %-10s %s' "$what" "$value" "$unit" "$goal" "$verdict")")
}
median() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# Discovery of one pk3 of 25,000 maps with levelshots, against unzip -l of it (median of 5 runs).
pack=$(for _ in 1 2 3 4 5; do ./discovery_bench --map-pack 25000 | sed -n 's/.*: \([0-9.]*\)x$/\1/p'; done | median)
row "Discovery of 25,000 maps in one pk3, to unzip -l" "$pack" "x" "<= 0.5" "v <= 0.5"

# Peak memory of a scan of 200 archives x 5,000 entries (a million entries).
memory=$(./discovery_bench 200 5000 | sed -n 's/.*peak memory \([0-9]*\) MB.*/\1/p')
row "Discovery of 200 pk3 x 5,000 entries: peak memory" "$memory" "MB" "<= 50" "v <= 50"

# Find New Maps with 1,000 maps: every picture made, and the window's longest pause meanwhile (medians of 3 runs).
maps=$(for _ in 1 2 3; do QT_QPA_PLATFORM=offscreen ./window_bench --find-maps 1000 2> /dev/null | tail -1; done)
made=$(sed -n 's/.*every picture made after \([0-9]*\) ms.*/\1/p' <<< "$maps" | median)
pause=$(sed -n 's/.*longest pause meanwhile \([0-9]*\) ms.*/\1/p' <<< "$maps" | median)
row "Find New Maps, 1,000 maps: every picture made" "$made" "ms" "<= 2000" "v <= 2000"
row "Find New Maps, 1,000 maps: the window's longest pause" "$pause" "ms" "<= 16" "v <= 16"

# status against a minimal client, ratio of the medians (median of 7 runs).
status=$(for _ in 1 2 3 4 5 6 7; do ./status_bench 2000 | sed -n 's/ratio of the medians: //p'; done | median)
row "status round trip, to a minimal client" "$status" "x" "<= 1.1" "v <= 1.1"

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
printf '%-58s %10s %-4s %-10s %s\n' "What" "Measured" "" "Goal" ""
printf '%s\n' "${rows[@]}"
echo "$holds of $((holds + fails)) hold."
[ "$fails" -eq 0 ]
