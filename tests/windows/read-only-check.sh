#!/usr/bin/env bash
# Run as a user who is not root (root passes every permission): the Windows
# program folder copied read-only into "Program Files" of a Wine prefix of its
# own; tarvex-cli must keep path.ini and the save slots in %APPDATA%\Tarvex.
# Usage: read-only-check.sh PROGRAM_FOLDER SAVE_FILE ENGINE_FOLDER (tools/test-engine.sh's)
set -eu
export WINEPREFIX=$HOME/prefix WINEDEBUG=-all
# The program folder carries every DLL tarvex-cli needs.
wine cmd /c exit >/dev/null 2>&1 || true
pf="$WINEPREFIX/drive_c/Program Files/Tarvex"
[ ! -d "$pf" ] || chmod -R u+w "$pf"
rm -rf "$pf"; cp -r "$1" "$pf"
printf 'C:\\Games\\EF\\\r\n' > "$pf/path.ini"
game="$WINEPREFIX/drive_c/Games/EF"
mkdir -p "$game/BaseEF"
cp "$3/stvoyHM.exe" "$3/libgcc_s_dw2-1.dll" "$game/"
cp "$3/qagamex86.dll" "$game/BaseEF/"
for pk3 in /usr/lib/openarena-server/baseoa/*.pk3; do ln -sf "$(readlink -f "$pk3")" "$game/BaseEF/"; done
chmod -R a-w "$pf"
cd "$pf"
# OpenArena's maps join the map list in the user's data folder; the demo's rotation is one of them.
wine ./tarvex-cli.exe find-maps --add >/dev/null
cp "$2" "$HOME/demo.sav"
wine ./tarvex-cli.exe config --save "Z:$HOME/demo.sav" --set map=oa_dm1 >/dev/null
# Into a file, not a pipe: the first Wine program of a prefix starts its wineserver, which keeps
# that program's output open for as long as any program of the prefix runs (the game).
wine ./tarvex-cli.exe launch --save "Z:$HOME/demo.sav" > "$HOME/launch.out" 2>&1
tr -d '\r' < "$HOME/launch.out"
mine="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/Tarvex"
test -f "$mine/path.ini" && test -f "$mine/save/save9.sav" && test -f "$mine/maps.ini"
echo "read-only Program Files\Tarvex: path.ini, save1-9.sav and the added maps are in %APPDATA%\Tarvex; the game runs as:"
pgrep -af stvoyHM.exe | sed -n 1p
wine ./tarvex-cli.exe stop --save "Z:$HOME/demo.sav" > "$HOME/stop.out" 2>&1
tr -d '\r' < "$HOME/stop.out"
chmod -R u+w "$pf"
