#!/usr/bin/env bash
# The Debian package installed on this machine (as root, with apt-get), as a
# host without a desktop uses it: the README's shell setup run as written
# (game folder, added maps, a slot from config, through --system), the
# service's user rendering and running that slot, dpkg -V clean, nothing new
# in the program folder; then a reinstall, after which all of it is still
# there. The package, its user and /var/lib/tarvex are removed at the end
# when they were not there before. Usage: check-install.sh [DEB]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" != 0 ]; then
  echo "SKIPPED: installing the package needs root"
  exit 0
fi
deb=$(realpath "${1:-$(bash tools/make-deb.sh)}")
had_user=$(getent passwd tarvex >/dev/null && echo yes || echo no)
had_data=$([ -e /var/lib/tarvex ] && echo yes || echo no)
[ "$had_data" = no ] || { echo "SKIPPED: /var/lib/tarvex exists: this machine has Tarvex's services set up"; exit 0; }
work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tarvex >/dev/null 2>&1 || true
  rm -rf /var/lib/tarvex "$work"
  [ "$had_user" = yes ] || userdel tarvex 2>/dev/null || true
  getent group tarvex >/dev/null && [ "$had_user" = no ] && groupdel tarvex 2>/dev/null || true
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

echo "== apt-get install $(basename "$deb")"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" > "$work/install.out" 2>&1 ||
  { cat "$work/install.out"; fail "the package did not install"; }
! grep -i "warning\|can't be accessed" "$work/install.out" || fail "installing the package warned"
entry=$(getent passwd tarvex) || fail "the package made no user tarvex"
[ "$(echo "$entry" | cut -d: -f6)" = /var/lib/tarvex ] || fail "tarvex's home is not /var/lib/tarvex: $entry"
[ "$(stat -c %U /var/lib/tarvex)" = tarvex ] || fail "/var/lib/tarvex does not belong to tarvex"
echo "the user tarvex and /var/lib/tarvex are there"
stamp="$work/stamp"
touch "$stamp"

# A game folder the service's user can read: the program, BaseEF and a custom map.
game="$work/eliteforce"
mkdir -p "$game/BaseEF/maps"
echo exe > "$game/stvoyHM.exe"
echo bsp > "$game/BaseEF/maps/zz_custom.bsp"
chmod -R a+rX "$game"

echo "== the README's shell setup, as written"
sed -n '/^<!-- shell-setup/,/^<!-- end of shell-setup/p' dist/host/README.md | sed -n 's/^    //p' > "$work/setup.sh"
[ -s "$work/setup.sh" ] || fail "the README has no shell setup"
cat "$work/setup.sh"
{
  # Root's shell: sudo is the command itself; without systemd running (a
  # container), systemctl and journalctl are shown, not run.
  echo 'sudo() { "$@"; }'
  echo 'if [ ! -d /run/systemd/system ]; then systemctl() { echo "(systemctl $*)"; }; journalctl() { echo "(journalctl $*)"; }; fi'
  echo "export VISUAL=true"  # config --edit: the editor leaves the text as it is
  sed "s|^GAME=.*|GAME='$game'|" "$work/setup.sh"
} > "$work/run.sh"
status=0
bash "$work/run.sh" > "$work/setup.out" 2>&1 || status=$?
cat "$work/setup.out"
# The last command asks the server for its status: without systemd no server runs.
[ "$status" = 0 ] || [ ! -d /run/systemd/system ] || fail "the shell setup ended with status $status"

echo "== what the setup made, and who owns it"
[ "$(stat -c %G "$game/BaseEF")" = tarvex ] && [ -n "$(find "$game/BaseEF" -maxdepth 0 -perm -2070)" ] ||
  fail "game-folder did not let the services write BaseEF"
[ "$(stat -c '%U %a' "$game/stvoyHM.exe")" = "root 644" ] || fail "the setup changed the game's program"
for file in path.ini maps.ini save/save3.sav Map_Images; do
  [ -e "/var/lib/tarvex/$file" ] || fail "/var/lib/tarvex/$file is missing"
done
[ -z "$(find /var/lib/tarvex ! -user tarvex)" ] || fail "files in /var/lib/tarvex not owned by tarvex: $(find /var/lib/tarvex ! -user tarvex)"
grep -q "^zz_custom" <(tarvex-cli --system maps) || fail "the added map is not listed"
as_service() { runuser -u tarvex -- "$@"; }
as_service tarvex-cli --system render --slot 3 > "$work/script.cfg" || fail "the service's user cannot render slot 3"
grep -q 'sv_hostname "My Server"' "$work/script.cfg" || fail "slot 3 is not the configuration the setup made"
grep -q "map zz_custom" "$work/script.cfg" || fail "slot 3's rotation lacks the added map"
echo "the service's user renders slot 3 with the added map"

# What the unit runs, as its user, with a stand-in game, for a few seconds.
unit=/usr/lib/systemd/system/tarvex@.service
command=$(sed -n 's/^ExecStart=//p' "$unit" | sed 's/%i/3/')
install -m 755 demo/fake-game.sh "$work/fake-game.sh"
TARVEX_GAME_RUNNER="$work/fake-game.sh" timeout -k 3 -s INT 4 runuser -u tarvex -- $command > "$work/run.out" 2>&1 ||
  true
grep -q "Started" "$work/run.out" || { cat "$work/run.out"; fail "the unit's command did not start the game"; }
echo "the unit's command ($command) starts the game as tarvex"

echo "== dpkg -V, and nothing new in the program folder"
verify=$(dpkg -V tarvex) || true
[ -z "$verify" ] || fail "dpkg -V tarvex: $verify"
new=$(find /usr/lib/tarvex -newer "$stamp")
[ -z "$new" ] || fail "new in /usr/lib/tarvex: $new"
owned=$(dpkg -L tarvex | grep '^/usr/lib/tarvex/' | sort)
present=$(find /usr/lib/tarvex -mindepth 1 | sort)
[ "$owned" = "$present" ] || fail "files in /usr/lib/tarvex that the package does not own: $(comm -13 <(echo "$owned") <(echo "$present"))"
echo "dpkg -V is clean; /usr/lib/tarvex holds the package's files alone"

echo "== apt-get install --reinstall"
# As after a package that let root keep its files in the program folder: the
# reinstall moves them into root's own data folder.
root_data="$(getent passwd root | cut -d: -f6)/.local/share/tarvex"
migrate=no
if [ ! -e "$root_data" ]; then
  migrate=yes
  rm /usr/lib/tarvex/installed-by-package
  printf '/srv/old-game/\r\n' > /usr/lib/tarvex/path.ini
  mkdir -p /usr/lib/tarvex/logs && echo "old log" > /usr/lib/tarvex/logs/slot4.log
  printf 'changed' >> /usr/lib/tarvex/save/save4.sav
  echo "picture" > /usr/lib/tarvex/Map_Images/zz_old.jpg
fi

before=$(cd /var/lib/tarvex && find . -type f ! -path './logs/*' ! -path './run/*' -exec md5sum {} + | sort)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --reinstall "$deb" >/dev/null
after=$(cd /var/lib/tarvex && find . -type f ! -path './logs/*' ! -path './run/*' -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "the reinstall changed /var/lib/tarvex: $(diff <(echo "$before") <(echo "$after"))"
as_service tarvex-cli --system render --slot 3 | grep -q "map zz_custom" || fail "slot 3 no longer renders after the reinstall"
grep -q "^zz_custom" <(tarvex-cli --system maps) || fail "the added map is gone after the reinstall"
echo "after the reinstall every file of /var/lib/tarvex is as it was, and slot 3 renders"
if [ "$migrate" = yes ]; then
  for file in path.ini logs/slot4.log save/save4.sav Map_Images/zz_old.jpg program.ini; do
    [ -e "$root_data/$file" ] || fail "root's $file was not carried over to $root_data"
  done
  [ ! -e /usr/lib/tarvex/path.ini ] && [ ! -e /usr/lib/tarvex/Map_Images/zz_old.jpg ] ||
    fail "root's files are still in /usr/lib/tarvex"
  [ -z "$(dpkg -V tarvex)" ] || fail "dpkg -V tarvex after the reinstall: $(dpkg -V tarvex)"
  [ "$(tarvex-cli game-folder | head -n 1)" = "Game folder: /srv/old-game/" ] ||
    fail "root's tarvex-cli does not find its carried-over path.ini"
  rm -rf "$root_data"
  echo "root's files that an earlier package let it keep in /usr/lib/tarvex moved to $root_data"
fi
echo "the install checks passed"
