#!/usr/bin/env bash
# Starts Tarvex from PROGRAM_DIR on a demo game folder. The demo's own
# program folder and game folder live in build/demo, so the repository stays
# clean and the save slots survive between runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(cd "${1:-$here/../build/program}" && pwd)
demo="$here/../build/demo"
mkdir -p "$demo/app" "$demo/game"
cp -rn "$here/game/." "$demo/game/"
for item in "$program"/*; do
  name=$(basename "$item")
  case "$name" in save) cp -rn "$item" "$demo/app/" ;; *) cp -rf "$item" "$demo/app/" ;; esac
done
game=$(cd "$demo/game" && pwd)
printf '%s/\r\n' "$game" > "$demo/app/path.ini"
export TARVEX_GAME_RUNNER="$here/fake-game.sh"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Tarvex is starting on the demo game folder $game."
  echo "Build a rotation on the Maps tab and press ENGAGE! to see what the game receives."
  export TARVEX_DEMO_REPORT="$demo/game-received.txt"
  rm -f "$TARVEX_DEMO_REPORT"
  "$demo/app/tarvex" || true
  SECONDS=0
  # The stand-in game starts as the window closes and runs on after it: give
  # it two seconds to begin its report, five to finish it.
  for _ in $(seq 70); do
    [ -f "$TARVEX_DEMO_REPORT" ] && [ "$(tail -n 1 "$TARVEX_DEMO_REPORT")" = "======================================================" ] && break
    [ -f "$TARVEX_DEMO_REPORT" ] || [ $SECONDS -lt 2 ] || break
    sleep 0.1
  done
  [ ! -f "$TARVEX_DEMO_REPORT" ] || cat "$TARVEX_DEMO_REPORT"
  exit 0
fi

echo "No desktop here (DISPLAY is not set), so here is the headless flow instead."
echo "On a desktop this command opens the Tarvex window."
echo
echo "\$ tarvex-cli maps"
"$demo/app/tarvex-cli" maps
echo
echo "\$ tarvex-cli render --save demo/demo.sav"
"$demo/app/tarvex-cli" render --save "$here/demo.sav" | sed 's/\r$//'
echo
echo "\$ tarvex-cli launch --save demo/demo.sav"
"$demo/app/tarvex-cli" launch --save "$here/demo.sav"
