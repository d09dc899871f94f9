#!/usr/bin/env bash
# On Windows (under Wine) the game of "tarvex-cli run" is in a job that ends
# it with run, however run ends; a launched game outlives tarvex-cli. Builds
# tarvex-cli.exe alone (no Qt: libzip for Windows from tools/windows-libzip.sh),
# starts run with a MinGW stand-in stvoyHM.exe, kills run with SIGKILL and
# checks the game is gone; then launches a game and checks that it stays.
# Debian packages: wine wine64 (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh wine wine64 >&2
libzip=$(bash tools/windows-libzip.sh)
cache=${TARVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}
cmake -S . -B build-windows-cli -G Ninja -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -Dlibzip_DIR="$libzip/lib/cmake/libzip" -DTARVEX_BUILD_UI=OFF \
  -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-windows-cli -j2 --target tarvex-cli >/dev/null
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tarvex-cli >/dev/null
exe=$PWD/build-windows-cli/program/tarvex-cli.exe
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TARVEX_FAKE_SECONDS=120
# The prefix first: made with the MinGW folders on WINEPATH, and Wine's 32-bit part present, Wine's
# own programs load their DLLs and fail ("could not load kernel32.dll").
wine cmd /c exit >/dev/null 2>&1 || true
export WINEPATH="Z:$libzip/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"
game="$WINEPREFIX/drive_c/Games/EF"
mkdir -p "$game/BaseEF" "$work/app"
touch "$game/BaseEF/pak0.pk3"
x86_64-w64-mingw32-gcc -O2 -o "$game/stvoyHM.exe" tests/windows/fake-game.c
cp -r data/maps.ini data/save "$work/app/"
printf 'C:\\Games\\EF\\\r\n' > "$work/app/path.ini"
build/program/tarvex-cli --app-folder "$work/app" config --slot 4 --set map=hm_borg1 server-type=dedicated-lan \
  net-port=27971 set-net-port=yes 2>/dev/null
# A server with the game's window (launch waits for none to answer; the stand-in answers nothing).
build/program/tarvex-cli --app-folder "$work/app" config --slot 5 --set map=hm_borg1 server-type=non-dedicated \
  net-port=27972 set-net-port=yes 2>/dev/null
app="Z:${work//\//\\}\\app"
games() { pgrep -f 'stvoyHM.exe' || true; }

echo "== run, killed with SIGKILL: its game ends with it"
wine "$exe" --app-folder "$app" run --slot 4 --watchdog 0 >"$work/run.out" 2>"$work/run.err" &
for _ in $(seq 120); do [ -s "$game/received.txt" ] && break; sleep 0.5; done
game_pid=$(games)
run_pid=$(pgrep -n -f 'tarvex-cli.exe.* run --slot 4' || true)  # the program itself, not Wine's loader before it
[ -n "$game_pid" ] && [ -n "$run_pid" ] || { cat "$work/run.err"; echo "FAILED: run did not start the game"; exit 1; }
kill -9 "$run_pid"
ended=no
for i in $(seq 40); do
  if ! kill -0 "$game_pid" 2>/dev/null; then ended=yes; break; fi
  sleep 0.25
done
[ "$ended" = yes ] || { echo "FAILED: the game outlived run"; exit 1; }
echo "the game ended $((i * 250)) ms or less after run was killed"

echo "== launch: the game outlives tarvex-cli"
rm -f "$game/received.txt"
wine "$exe" --app-folder "$app" launch --slot 5 >"$work/launch.out" 2>&1 || { cat "$work/launch.out"; exit 1; }
sleep 2
[ -n "$(games)" ] || { echo "FAILED: the launched game ended with tarvex-cli"; exit 1; }
echo "the launched game runs on after tarvex-cli returned"
echo "the Windows process checks passed"
