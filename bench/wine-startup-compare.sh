#!/usr/bin/env bash
# Usage (after tools/windows-build.sh): bench/wine-startup-compare.sh [RUNS]
# Start-up of tarvex's window against a bare Qt window built the same way, under Wine and Xvfb, Windows platform plugin.
set -euo pipefail
qt=~/.cache/tarvex/qt-mingw; lz=~/.cache/tarvex/libzip-mingw
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/tarvex/wine-bench} WINEDEBUG=-all
export WINEPATH="Z:$qt/bin;Z:$lz/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"
Xvfb :58 -screen 0 1024x768x24 >/dev/null 2>&1 & xvfb=$!
export DISPLAY=:58
sleep 2
wine cmd /c exit >/dev/null 2>&1 || true
b="wine $(cd "$(dirname "$0")/.." && pwd)/build-windows/bench/window_bench.exe"
args="-platform windows -platformpluginpath Z:$qt/plugins/platforms"
count=$($b --count $args 2>/dev/null | tr -d '\r')
us() { local s e; s=$(date +%s%N); $b "$@" $args >/dev/null 2>&1; e=$(date +%s%N); echo $(((e - s) / 1000)); }
us --startup=real >/dev/null; us --startup=bare "$count" >/dev/null
real=(); bare=()
for _ in $(seq "${1:-15}"); do real+=("$(us --startup=real)"); bare+=("$(us --startup=bare "$count")"); done
med() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
r=$(printf '%s\n' "${real[@]}" | med); bb=$(printf '%s\n' "${bare[@]}" | med)
echo "controls $count; Tarvex window $r us, bare window $bb us, ratio $(awk -v a=$r -v b=$bb 'BEGIN{printf "%.2f", a/b}') (median of ${1:-15}, Wine + Xvfb, Windows platform plugin)"
wineserver -k || true; kill $xvfb || true
