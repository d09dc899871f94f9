#!/usr/bin/env bash
# The window as a screen reader sees it: starts Tarvex on a stand-in game folder
# under Xvfb with an AT-SPI bus, and lists what assistive technology finds
# (roles, the named buttons, lists, options and links; text boxes without a
# name are counted). Debian packages: at-spi2-core python3-pyatspi xvfb dbus.
#   bash tools/accessibility-check.sh [PROGRAM_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh at-spi2-core python3-pyatspi xvfb dbus-x11 >&2
program=$(cd "${1:-build/program}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$program" "$work/app"
mkdir -p "$work/game/BaseEF"
touch "$work/game/BaseEF/pak0.pk3" "$work/game/stvoyHM.exe"
printf '%s/\r\n' "$work/game" > "$work/app/path.ini"
walker=$(pwd)/tools/accessibility-walk.py
cd "$work"
timeout 120 dbus-run-session -- bash -c "
  Xvfb :61 -screen 0 1024x768x24 >/dev/null 2>&1 & export DISPLAY=:61; sleep 1
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  sleep 1
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 TARVEX_GAME_RUNNER=/bin/true ./app/tarvex >/dev/null 2>&1 &
  /usr/bin/python3 '$walker'
  kill %3 %2 %1 2>/dev/null" 2>&1 | grep -v 'Failed to set fd limit'
