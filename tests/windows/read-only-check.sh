#!/usr/bin/env bash
# Run as a user who is not root (root passes every permission): the Windows
# program folder copied read-only into "Program Files" of a Wine prefix of its
# own; tarvex-cli must keep path.ini and the save slots in %APPDATA%\Tarvex.
# Usage: read-only-check.sh PROGRAM_FOLDER SAVE_FILE STAND_IN_GAME
set -eu
export WINEPREFIX=$HOME/prefix WINEDEBUG=-all
# The program folder carries every DLL tarvex-cli needs.
wine cmd /c exit >/dev/null 2>&1 || true
pf="$WINEPREFIX/drive_c/Program Files/Tarvex"
[ ! -d "$pf" ] || chmod -R u+w "$pf"
rm -rf "$pf"; cp -r "$1" "$pf"
printf 'C:\\Games\\EF\\\r\n' > "$pf/path.ini"
mkdir -p "$WINEPREFIX/drive_c/Games/EF/BaseEF"; touch "$WINEPREFIX/drive_c/Games/EF/BaseEF/pak0.pk3"
cp "$3" "$WINEPREFIX/drive_c/Games/EF/stvoyHM.exe"
chmod -R a-w "$pf"
cd "$pf"
wine ./tarvex-cli.exe launch --save "Z:$2" 2>&1 | tr -d '\r'
mine="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/Tarvex"
test -f "$mine/path.ini" && test -f "$mine/save/save9.sav"
echo "read-only Program Files\Tarvex: path.ini and save1-9.sav are in %APPDATA%\Tarvex; the game received:"
tr -d '\r' < "$WINEPREFIX/drive_c/Games/EF/received.txt"
chmod -R u+w "$pf"
