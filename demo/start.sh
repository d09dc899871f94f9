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
# Slot 1 holds the demo's configuration, for a newcomer to Load, while it is unused.
if cmp -s "$program/save/save1.sav" "$demo/app/save/save1.sav"; then cp "$here/demo.sav" "$demo/app/save/save1.sav"; fi
game=$(cd "$demo/game" && pwd)
printf '%s/\r\n' "$game" > "$demo/app/path.ini"
export TARVEX_GAME_RUNNER="$here/fake-game.sh"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Tarvex is starting on the demo game folder $game."
  echo "Build a rotation on the Maps tab and press ENGAGE! to see what the game receives."
  log="$demo/app/logs/game.log"
  rm -f "$log"
  "$demo/app/tarvex" || true
  # The stand-in game runs on after the window closes; its output is in its log.
  for _ in $(seq 50); do
    [ -f "$log" ] && grep -q '^======================================================$' "$log" && break
    sleep 0.1
  done
  if [ -f "$log" ]; then
    echo "\$ tarvex-cli log"
    "$demo/app/tarvex-cli" log
  fi
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
echo
echo "\$ tarvex-cli log --save demo/demo.sav     # what the game printed"
"$demo/app/tarvex-cli" log --save "$here/demo.sav"
