#!/usr/bin/env bash
# What "tarvex-cli run" costs while a chatty server writes through it: a
# stand-in game prints MB megabytes of log lines as fast as it can (a real
# server writes a few tens of MB a day), run keeps them in its rotating log;
# then run's CPU time per MB and its peak memory, for each size given, show
# whether the cost grows with the output. Linux only.
# Usage: bench/run-output-bench.sh [TARVEX_CLI] [MB ...]   (default: build/program/tarvex-cli 50 200)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build/program/tarvex-cli}")
shift || true
sizes=("${@:-50}")
[ $# -gt 0 ] || sizes=(50 200)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/game/BaseEF"
cp -r data/maps.ini data/save "$work/app/"
touch "$work/game/stvoyHM.exe"
"$cli" --app-folder "$work/app" game-folder "$work/game" >/dev/null
"$cli" --app-folder "$work/app" config --slot 3 --set map=hm_borg1 server-type=dedicated-lan 2>/dev/null
cat > "$work/chatty.sh" <<'EOF'
#!/bin/sh
# A server's kind of lines, MB megabytes of them, then quiet.
yes 'ClientUserinfoChanged: 3 n\^1Seven of Nine\t\model\borg/seven\hc\100\w\0\l\0\tt\0\tl\0' |
  head -c $((TARVEX_BENCH_MB * 1024 * 1024))
echo "done writing"
exec sleep 600
EOF
chmod +x "$work/chatty.sh"
ticks=$(getconf CLK_TCK)
printf '%8s %12s %14s %14s\n' "MB" "CPU seconds" "CPU ms per MB" "peak memory"
for mb in "${sizes[@]}"; do
  rm -rf "$work/app/logs"
  TARVEX_GAME_RUNNER="$work/chatty.sh" TARVEX_BENCH_MB=$mb \
    "$cli" --app-folder "$work/app" run --slot 3 --watchdog 0 --log-size 10 --log-keep 2 2>/dev/null &
  run=$!
  # The stand-in's last line is in the log once run has read it all.
  until grep -qs "done writing" "$work/app/logs/slot3.log"; do sleep 0.2; done
  read -r -a stat < "/proc/$run/stat"
  cpu=$(( ${stat[13]} + ${stat[14]} ))
  peak=$(awk '/^VmHWM/ {print $2 " " $3}' "/proc/$run/status")
  kill -TERM "$run"
  wait "$run" || true
  printf '%8s %12s %14s %14s\n' "$mb" "$(awk -v c="$cpu" -v t="$ticks" 'BEGIN {printf "%.2f", c / t}')" \
    "$(awk -v c="$cpu" -v t="$ticks" -v m="$mb" 'BEGIN {printf "%.2f", 1000 * c / t / m}')" "$peak"
done
