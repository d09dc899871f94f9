#!/usr/bin/env bash
# Tarvex on Windows code, under Wine: builds the Windows program folder
# (tools/windows-build.sh), runs the window tests built for Windows on the
# offscreen platform, and tries tarvex-cli and the real tarvex.exe (in
# Windows' own platform plugin under Xvfb) on a game folder whose stvoyHM.exe
# is a 32-bit Windows id Tech 3 server (tools/test-engine.sh) with OpenArena's
# data: launch, run restarting and stopping it, the game found through the
# registry, Form2, Yes, a map added, ENGAGE!. Then, in a fresh prefix, the
# installer run silently, the installed window launching the game (its output
# into a bounded log), a slot's Windows service started and stopped by Wine's
# service manager, the uninstaller keeping the data, and a per-user install
# upgraded in place. As root, in a network namespace of its own: the servers
# it starts answer on loopback only. Debian packages: wine wine64 wine32:i386
# xvfb xdotool openarena-server (installed here when missing). TARVEX_TRACE=1 traces every
# command of the part in the namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
# What needs Debian's registry is done first; the rest runs in the network namespace.
if [ -z "${TARVEX_ISOLATED:-}" ]; then
  [ "$(id -u)" = 0 ] || { echo "windows-check runs as root (it installs packages, and isolates its servers)"; exit 1; }
  bash tools/install-deps.sh wine wine64 xvfb xdotool x11-utils openarena-server iproute2 python3 >&2
  engine=$(bash tools/test-engine.sh)
  [ -n "$engine" ] || { echo "FAILED: windows-check needs the 32-bit test engine and Wine's 32-bit part (see above)"; exit 1; }
  bash tools/windows-build.sh
  exec env TARVEX_ISOLATED=1 TARVEX_WINE_ENGINE="$engine" unshare --net sh -c 'ip link set lo up && exec bash ${TARVEX_TRACE:+-x} "$0"' "$0"
fi
engine=$TARVEX_WINE_ENGINE
qt=$(bash tools/windows-qt.sh)
libzip=$(bash tools/windows-libzip.sh)
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The prefix is made before WINEPATH names the MinGW and Qt folders: with Wine's 32-bit part, a
# prefix made with them on the path loads their DLLs into Wine's own programs, and every
# program then fails ("could not load kernel32.dll, status c0000135").
wine cmd /c exit >/dev/null 2>&1 || true
export WINEPATH="Z:$qt/bin;Z:$libzip/bin;Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"
# The game: the test engine with OpenArena's data in a game folder DIR.
engineGame() {
  mkdir -p "$1/BaseEF"
  cp "$engine/stvoyHM.exe" "$engine/libgcc_s_dw2-1.dll" "$1/"
  cp "$engine/qagamex86.dll" "$1/BaseEF/"
  for pk3 in /usr/lib/openarena-server/baseoa/*.pk3; do ln -sf "$(readlink -f "$pk3")" "$1/BaseEF/"; done
}
# The running game's process and Windows command line; its working folder.
gameLine() { pgrep -af 'stvoyHM.exe' | sed -n 1p; }
gameFolder() { readlink "/proc/$(pgrep -f 'stvoyHM.exe' | sed -n 1p)/cwd"; }
endGames() {
  pkill -KILL -f 'stvoyHM.exe' || true
  for _ in $(seq 40); do pgrep -f 'stvoyHM.exe' >/dev/null || return 0; sleep 0.25; done
}
# A program of the user's that stays up (keepAlive below): the MinGW stand-in.
x86_64-w64-mingw32-gcc -O2 -o "$work/fake-game.exe" tests/windows/fake-game.c

echo "== the window tests, built for Windows, on the offscreen platform"
failed=0
for test in build-windows/tests/*.exe; do
  name=$(basename "$test" .exe)
  # Wine does not hand QT_QPA_PLATFORM on: the platform goes on the command line.
  if (cd build-windows/tests && timeout 600 wine "./$name.exe" -platform offscreen \
      -platformpluginpath "Z:$qt/plugins/platforms" -o "Z:$work/$name.txt,txt" >/dev/null 2>&1); then
    echo "$name: $(grep '^Totals' "$work/$name.txt")"
  else
    echo "$name FAILED:"; grep -E "^(FAIL|   )" "$work/$name.txt" || true
    failed=1
  fi
done

echo "== tarvex-cli and tarvex.exe on the 32-bit engine"
game="$WINEPREFIX/drive_c/Games/EF"
engineGame "$game"
repo=$(pwd)
app="$work/tarvex"
cp -r build-windows/tarvex "$app"
cp demo/demo.sav "$app/"
cd "$app"
printf 'C:\\Games\\EF\\\r\n' > path.ini
# OpenArena's maps into the map list, the demo's rotation one of them.
wine ./tarvex-cli.exe find-maps --add >/dev/null
wine ./tarvex-cli.exe config --save demo.sav --set map=oa_dm1 >/dev/null
wine ./tarvex-cli.exe render --save demo.sav > rendered.cfg
started=$(date +%s)
wine ./tarvex-cli.exe launch --save demo.sav
echo "launch returned once the server answered, $(($(date +%s) - started)) s after its start"
cmp rendered.cfg "$game/BaseEF/tarvex.cfg"
echo "tarvex-cli: the script of the render, CR LF intact, written into BaseEF; the game runs as:"
gameLine
wine ./tarvex-cli.exe status --save demo.sav | tr -d '\r'

echo "== tarvex-cli stop: the launched game holds its instance until it is stopped"
wine ./tarvex-cli.exe list | tr -d '\r'
wine ./tarvex-cli.exe stop --save demo.sav | tr -d '\r'
for _ in $(seq 20); do pgrep -f stvoyHM.exe >/dev/null || break; sleep 0.25; done
pgrep -af stvoyHM.exe && { echo "FAILED: stop left the game running"; exit 1; }

echo "== tarvex-cli run under Wine: a game that is killed is started again; Ctrl+C stops it"
wine ./tarvex-cli.exe run --save demo.sav --watchdog 2 > run.out 2> run.err &
runner=$!
answers() {  # run has seen N answers of a start, within 60 s
  for _ in $(seq 240); do
    [ "$(grep -c 'The server answers on its port.' run.err)" -ge "$1" ] && return 0
    sleep 0.25
  done
  cat run.err; echo "FAILED: the server of run did not answer"; return 1
}
answers 1
endGames
answers 2
pkill -INT -f "tarvex-cli.exe run"  # Wine hands SIGINT to the console program as Ctrl+C
ended=0; wait "$runner" || ended=$?
cat run.err
[ "$ended" = 0 ] || { echo "FAILED: run ended with $ended after Ctrl+C"; exit 1; }
[ "$(grep -c ' tarvex-cli run: Started ' run.err)" -ge 2 ] && grep -q 'Stopping the game.' run.err
for _ in $(seq 20); do pgrep -f stvoyHM.exe >/dev/null || break; sleep 0.25; done
pgrep -af stvoyHM.exe && { echo "FAILED: run left the game running"; exit 1; }
# A save file's instance is its name with a checksum of its path.
ls "$game"/BaseEF/tarvex-save-demo-*.cfg >/dev/null && grep -q 'execing tarvex-save-demo-' logs/save-demo-*.log
echo "tarvex-cli run: restarted, stopped, its own script, the game's output in its log"
rm -f path.ini "$game/BaseEF/tarvex.cfg"

# The window program in the Windows platform plugin: the game in the registry's 32-bit view.
wine reg add 'HKLM\SOFTWARE\Activision\Star Trek: Voyager - Elite Force\v1.0' /v INSTALLEXEPATH \
  /d 'C:\Games\EF\stvoyHM.exe' /reg:32 /f >/dev/null 2>&1
display=:57
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
export DISPLAY=$display
sleep 2
waitFor() {  # a window whose title holds the text, within 60 s
  for _ in $(seq 120); do
    xdotool search --name "$1" 2>/dev/null | sed -n 1p | grep . && return 0
    sleep 0.5
  done
  echo "no window \"$1\" appeared" >&2
  return 1
}
wine ./tarvex.exe >/dev/null 2>&1 &
form2=$(waitFor Form2)
sleep 2
echo "first start: Form2 shows the registry's folder; path.ini holds: $(tr -d '\r' < path.ini | head -n 1)"
# Wine has no window manager: the window is given the keyboard focus by hand.
xdotool windowfocus --sync "$form2"; xdotool key Return  # the focus starts on Yes
main=$(waitFor "Tarvex     beta")
sleep 3
xdotool windowfocus --sync "$main"
# Maps tab, the first map of the list, Enter adds it; back through the tab bar to ENGAGE!.
xdotool key ctrl+Tab ctrl+Tab Tab Down Return shift+Tab shift+Tab Return
for _ in $(seq 60); do [ -n "$(gameLine)" ] && break; sleep 0.5; done
echo "ENGAGE!: the game runs as (command line, working folder):"
gameLine; gameFolder
gameLine | grep -q '+set dedicated 0 +sets configured_by Tarvex +exec tarvex.cfg$'
[ "$(gameFolder)" = "$game" ]
grep -E 'Set m1 "fraglimit 10; timelimit 0; capturelimit 5; map [a-z_0-9]+; set nextmap vstr m1"' "$game/BaseEF/tarvex.cfg"
for _ in $(seq 40); do xdotool search --name "Tarvex     beta" >/dev/null 2>&1 || break; sleep 0.5; done
echo "tarvex.exe closed after the launch; tarvex.cfg is in BaseEF"
endGames
wine ./tarvex.exe >/dev/null 2>&1 &
waitFor "Tarvex     beta" >/dev/null
if xdotool search --name Form2 >/dev/null 2>&1; then echo "the second start showed Form2" >&2; exit 1; fi
echo "second start: straight to the main window"

# The installer, silently, into a fresh prefix: what a Windows user gets.
echo "== the installer: files, Start menu entry, uninstall entry"
wineserver -k 2>/dev/null || true
export WINEPREFIX="$work/installed"
unset WINEPATH  # the installed folder must bring every library it loads
wine cmd /c exit >/dev/null 2>&1 || true
drive="$WINEPREFIX/drive_c"
game="$drive/Games/EF"
engineGame "$game"
setup=$(ls "$repo"/build-windows/tarvex-setup-*.exe)
version=$(basename "$setup" .exe); version=${version#tarvex-setup-}
wine "$setup" /S
installed="$drive/Program Files/Tarvex"
for file in tarvex.exe tarvex-cli.exe Qt6Widgets.dll platforms/qwindows.dll maps.ini installed-by-package \
  uninstall.exe; do
  [ -f "$installed/$file" ] || { echo "FAILED: the installer did not install $file"; exit 1; }
done
[ -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvex.lnk" ] || { echo "FAILED: no Start menu entry"; exit 1; }
uninstallKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvex'
entry=$(wine reg query "$uninstallKey" /reg:64 2>/dev/null | tr -d '\r' || true)
for value in "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ    Tarvex developers" EstimatedSize \
  'UninstallString    REG_SZ    "C:\Program Files\Tarvex\uninstall.exe" /AllUsers'; do
  grep -qF "$value" <<<"$entry" || { echo "FAILED: the uninstall entry lacks $value:"; echo "$entry"; exit 1; }
done
echo "installed into C:\\Program Files\\Tarvex $version: $(ls "$installed" | wc -l) entries, the Start menu's Tarvex.lnk,"
echo "and the uninstall entry:"; grep -E 'Display|Publisher|EstimatedSize|Uninstall' <<<"$entry"

echo "== the installed window: the registry's game, Form2, ENGAGE!, the game's output into a bounded log"
wine reg add 'HKLM\SOFTWARE\Activision\Star Trek: Voyager - Elite Force\v1.0' /v INSTALLEXEPATH \
  /d 'C:\Games\EF\stvoyHM.exe' /reg:32 /f >/dev/null 2>&1
(cd "$installed" && wine ./tarvex.exe >/dev/null 2>&1 &)
form2=$(waitFor Form2)
sleep 2
xdotool windowfocus --sync "$form2"; xdotool key Return
main=$(waitFor "Tarvex     beta")
sleep 3
xdotool windowfocus --sync "$main"
xdotool key ctrl+Tab ctrl+Tab Tab Down Return shift+Tab shift+Tab Return
for _ in $(seq 60); do [ -n "$(gameLine)" ] && break; sleep 0.5; done
gameLine | grep -q '+exec tarvex.cfg$' || { echo "FAILED: the installed window did not start the game"; exit 1; }
userData=$(ls -d "$drive"/users/*/AppData/Roaming/Tarvex)
for _ in $(seq 40); do grep -qs 'execing tarvex.cfg' "$userData/logs/game.log" && break; sleep 0.5; done
grep -q 'execing tarvex.cfg' "$userData/logs/game.log" || { echo "FAILED: the game's output is not in its log"; exit 1; }
pgrep -f 'tarvex-cli.exe write-log' >/dev/null || { echo "FAILED: no log writer while the game runs"; exit 1; }
[ ! -e "$installed/path.ini" ] && [ -f "$userData/path.ini" ] || { echo "FAILED: Tarvex wrote into its program folder"; exit 1; }
echo "the installed window found the game, launched it, and keeps its files in %APPDATA%\\Tarvex: $(ls "$userData" | tr '\n' ' ')"
echo "the game's output goes through tarvex-cli write-log into $(basename "$userData")/logs/game.log"
for _ in $(seq 40); do xdotool search --name "Tarvex     beta" >/dev/null 2>&1 || break; sleep 0.5; done
if xdotool search --name "Tarvex" >/dev/null 2>&1; then
  xdotool search --name "." getwindowname %@ 2>/dev/null || true
  echo "FAILED: the installed window did not close after the launch"; exit 1
fi
echo "the installed window closed after the launch"
pkill -f stvoyHM.exe || true
for _ in $(seq 20); do pgrep -f 'tarvex-cli.exe write-log' >/dev/null || break; sleep 0.5; done
pgrep -f 'tarvex-cli.exe write-log' >/dev/null && { echo "FAILED: the log writer outlived the game"; exit 1; }
echo "the log writer ended with the game"

echo "== a slot's server as a Windows service"
cli() { (cd "$installed" && wine ./tarvex-cli.exe "$@"); }
cli --system game-folder 'C:\Games\EF' >/dev/null
cli --system find-maps --add >/dev/null
cli --system config --slot 4 --set map=oa_dm1 server-type=dedicated-lan net-port=27971 set-net-port=yes >/dev/null
cli service install --slot 4 | tee "$work/install.txt"
grep -q 'It runs as NT SERVICE\\Tarvex slot 4, an account of its own, who may write C:\\ProgramData\\Tarvex, C:\\Games\\EF\\BaseEF alone' \
  <(tr -d '\r' <"$work/install.txt") || { echo "FAILED: the service's account and what it may write"; exit 1; }
gameRuns() {  # the service's game started and answers, within 60 s
  for _ in $(seq 60); do
    gameLine | grep -q '+exec tarvex-slot4.cfg$' && cli --system status --slot 4 >/dev/null 2>&1 && return 0
    sleep 1
  done
  cli service status --slot 4; echo "FAILED: the service did not start the game"; return 1
}
gameEnded() {  # the game and run gone, and the service stopped, within 30 s
  for _ in $(seq 60); do
    if ! pgrep -f 'stvoyHM.exe|tarvex-cli.exe --system run' >/dev/null &&
      cli service status --slot 4 | grep -q 'Tarvex slot 4: stopped'; then
      return 0
    fi
    sleep 0.5
  done
  pgrep -af 'stvoyHM.exe|tarvex-cli.exe --system run'; cli service status --slot 4
  echo "FAILED: the service's stop left the game or run"; return 1
}
# Wine ends its service manager, and with it every service, once no program
# but its own runs: a program of the user's (the stand-in under another
# name, in a folder of its own) stays up through the service steps, as on a
# machine in use.
keepAlive() {
  mkdir -p "$drive/keepalive" && cp "$work/fake-game.exe" "$drive/keepalive/keepalive.exe"
  (cd "$drive/keepalive" && TARVEX_FAKE_SECONDS=3600 wine ./keepalive.exe >/dev/null 2>&1 &)
}
# The machine starts again (Wine's restart of its prefix): the service starts with it.
wineserver -k; sleep 1; wineboot >/dev/null 2>&1
keepAlive
gameRuns
status=$(cli service status --slot 4 | tr -d '\r')
echo "$status"
grep -q 'Tarvex slot 4: running (process [0-9]*), starts with the machine' <<<"$status"
# Its own virtual account, with the SID Windows gives it (S-1-5-80 and the SHA-1 of its name in
# capitals). Wine's service manager keeps the account, though it runs every service as the prefix's
# user, and Wine keeps no security descriptor of a file: what the account may write shows on Windows.
sid=$(python3 -c "import hashlib, struct
print('S-1-5-80-' + '-'.join(map(str, struct.unpack('<5I', hashlib.sha1('TARVEX SLOT 4'.encode('utf-16-le')).digest()))))")
grep -qF "as: NT SERVICE\Tarvex slot 4 ($sid)" <<<"$status" ||
  { echo "FAILED: the service does not run as its own account ($sid)"; exit 1; }
echo "the machine started again: the service started with it and runs the slot's game"
wine sc stop "Tarvex slot 4" >/dev/null
gameEnded
grep -q 'Stopping the game.' "$drive/ProgramData/Tarvex/logs/slot4.log"
echo "sc stop: run stopped the game and ended"
wine sc start "Tarvex slot 4" >/dev/null || { echo "FAILED: sc start"; exit 1; }
gameRuns
wine net stop "Tarvex slot 4" >/dev/null
gameEnded
echo "sc start, net stop: started and stopped again; the service's messages and the game's output are in C:\\ProgramData\\Tarvex\\logs"

echo "== a path.ini the game's account changed never turns a grant into one on another folder"
# The account may write the services' folder: a BaseEF that is a link elsewhere is refused.
mkdir -p "$drive/Hostile" "$drive/Secret" && ln -s "$drive/Secret" "$drive/Hostile/BaseEF"
cp "$drive/ProgramData/Tarvex/path.ini" "$work/path.ini"
printf 'C:\\Hostile\\\r\n' >"$drive/ProgramData/Tarvex/path.ini"
hostile=$(cli service install --slot 4 2>&1 | tr -d '\r' || true)
echo "$hostile"
grep -q 'its account may not write C:\\Hostile\\BaseEF: it is reached through a junction or link' <<<"$hostile" ||
  { echo "FAILED: a linked BaseEF was granted to the service"; exit 1; }
cp "$work/path.ini" "$drive/ProgramData/Tarvex/path.ini"
echo "refused; path.ini put back"

echo "== service remove takes the account's rights back"
cli service remove --slot 4 | tr -d '\r' | tee "$work/remove.txt"
grep -q 'its account may no longer write' "$work/remove.txt"
left=$(cli service status --slot 4 | tr -d '\r' || true)
! grep -q 'may still write' <<<"$left" || { echo "$left"; echo "FAILED: the removed service's account may still write"; exit 1; }
cli service install --slot 4 >/dev/null
echo "removed, its account may write nothing of Tarvex's; registered again for the uninstaller"

echo "== the uninstaller: the program goes, the services go, the data stays"
wine "$installed/uninstall.exe" /S
for _ in $(seq 60); do [ -e "$installed" ] || break; sleep 0.5; done
[ ! -e "$installed" ] || { ls -la "$installed"; echo "FAILED: the program folder is still there"; exit 1; }
[ ! -e "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvex.lnk" ]
! wine reg query "$uninstallKey" /reg:64 >/dev/null 2>&1 || { echo "FAILED: the uninstall entry is still there"; exit 1; }
wine sc start "Tarvex slot 4" >/dev/null 2>&1 && { echo "FAILED: the service is still registered"; exit 1; }
[ -f "$userData/path.ini" ] && [ -f "$drive/ProgramData/Tarvex/save/save4.sav" ] && [ -f "$drive/ProgramData/Tarvex/path.ini" ]
echo "uninstalled: the program folder, the Start menu entry, the uninstall entry and the service are gone;"
echo "kept: $(ls "$userData" | tr '\n' ' ')in %APPDATA%\\Tarvex, $(ls "$drive/ProgramData/Tarvex" | tr '\n' ' ')in %ProgramData%\\Tarvex"

echo "== per user, and an upgrade over it"
wine "$setup" /S /CurrentUser
perUser=$(ls -d "$drive"/users/*/AppData/Local/Programs/Tarvex)
[ -f "$perUser/tarvex.exe" ] && wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvex' /reg:64 >/dev/null 2>&1
wine "$setup" /S  # finds the earlier install: per user, its folder
[ -f "$perUser/tarvex.exe" ] && [ ! -e "$installed" ] && [ -f "$userData/path.ini" ]
wine "$perUser/uninstall.exe" /S
for _ in $(seq 60); do [ -e "$perUser" ] || break; sleep 0.5; done
[ ! -e "$perUser" ] && [ -f "$userData/path.ini" ]
echo "per user into %LOCALAPPDATA%\\Programs\\Tarvex, upgraded in place and removed; the data kept throughout"

# A program folder the user cannot write: as a user who is not root (root
# passes every permission), in a Wine prefix of that user's own.
if [ "$(id -u)" = 0 ]; then
  id tarvexcheck >/dev/null 2>&1 || useradd -m tarvexcheck
  shared=$(mktemp -d); chmod 755 "$shared"
  cp -r "$repo/build-windows/tarvex" "$shared/tarvex"; cp "$repo/demo/demo.sav" "$shared/"
  cp -r "$engine" "$shared/engine"
  cp "$repo/tests/windows/read-only-check.sh" "$shared/"
  chmod -R a+rX "$shared"
  su - tarvexcheck -c "bash $shared/read-only-check.sh $shared/tarvex $shared/demo.sav $shared/engine"
  rm -rf "$shared"
fi
exit "$failed"
