#!/usr/bin/env bash
# The package's life under a booted systemd, as a host lives it; run by
# tools/systemd-check.sh inside its container, as root, from /check (the
# package, the same build with a higher version, the host README, and the
# game folder "/srv/elite force" with the 32-bit Windows engine and
# OpenArena's maps). Each step is asserted; the first that fails ends it.
set -uo pipefail
cd /check
export DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8
unit=tarvex@3.service
game="/srv/elite force"
fail() {
  echo "FAILED: $*"
  echo "-- journalctl -u $unit"
  journalctl -u "$unit" --no-pager -n 80
  exit 1
}
step() { echo; echo "== $*"; }
since() { echo "$(($(date +%s%N) / 1000000 - $1)) ms"; }
now() { echo $(($(date +%s%N) / 1000000)); }
answers() {  # the slot's server answers its status question, on the map asked for
  local i
  for ((i = 0; i < ${2:-60}; i++)); do
    tarvex-cli --system status --slot 3 >status.out 2>&1 && grep -q "$1" status.out && return 0
    sleep 1
  done
  cat status.out
  return 1
}
main_pid() { systemctl show -p MainPID --value "$unit"; }
# The processes of the services' user (a minimal root has no pgrep): "PID COMMAND LINE" a line.
tarvex_processes() {
  local uid proc
  uid=$(id -u tarvex)
  for proc in /proc/[0-9]*; do
    [ "$(stat -c %u "$proc" 2>/dev/null)" = "$uid" ] || continue
    echo "${proc#/proc/} $(tr '\0' ' ' <"$proc/cmdline" 2>/dev/null)"
  done
}
game_pid() { tarvex_processes | grep 'stvoyHM\.exe' | head -n 1 | cut -d' ' -f1; }
# /var/lib/tarvex as the host made it: every file but logs, locks and Wine's prefix.
data_sums() { (cd /var/lib/tarvex && find . -type f ! -path './logs/*' ! -path './run/*' ! -path './.wine/*' -exec md5sum {} + | sort); }

step "apt-get install $(ls tarvex_*.deb)"
apt-get update -qq >/dev/null 2>&1 || fail "apt-get update"
apt-get install -y -qq --no-install-recommends ./tarvex_*.deb >install.out 2>&1 || { cat install.out; fail "install"; }
! grep -i "warning" install.out || fail "installing the package warned"
echo "installed $(dpkg-query -W -f '${Version}' tarvex)"

step "the host README's first server, as written (the game on loopback, on a LAN, with a console password)"
sed -n '/^<!-- shell-setup/,/^<!-- end of shell-setup/p' README.md | sed -n 's/^    //p' >setup.sh
[ -s setup.sh ] || fail "the host README has no first-server steps"
{
  echo 'set -e'
  echo 'sudo() { "$@"; }'
  echo 'export VISUAL=true'
  sed -e "s|^GAME=.*|GAME='$game'|" \
    -e 's/server-type=dedicated-internet/server-type=dedicated-lan console-password=check-secret set-net-ip=yes net-ip=127.0.0.1 set-net-port=yes net-port=27991/' \
    -e 's/hm_borg1/oa_dm1/g; s/zz_custom/oa_dm2/g' setup.sh
} >run.sh
cat run.sh
start=$(now)
bash run.sh || fail "the first-server steps"
echo "the first-server steps took $(since "$start"), the first start of Wine's prefix in the sandbox among them"
[ "$(systemctl is-active "$unit")" = active ] || fail "$unit is not active"
systemctl status "$unit" --no-pager | sed -n 1,6p

step "list, status, rcon"
tarvex-cli --system list | tee list.out
grep -q "3" list.out || fail "list does not show slot 3"
answers oa_dm1 || fail "slot 3 does not answer on oa_dm1"
tarvex-cli --system rcon --slot 3 echo tarvex-rcon-check >rcon.out 2>&1 || { cat rcon.out; fail "rcon"; }
grep -q tarvex-rcon-check rcon.out || { cat rcon.out; fail "rcon's answer"; }
echo "the server answers its status and its console"
# A member of the services' group reads what the service writes (its state), others nothing.
useradd -M -G tarvex host-admin && useradd -M someone-else
runuser -u host-admin -- tarvex-cli --system list >member.out 2>&1 || { cat member.out; fail "list as a member of tarvex"; }
grep -q "27991" member.out || { cat member.out; fail "a member of tarvex does not see the server's port"; }
runuser -u someone-else -- tarvex-cli --system list >other.out 2>&1 && fail "a user outside tarvex may list the services"
grep -q "group tarvex" other.out || { cat other.out; fail "a user outside tarvex is not told the way in"; }
echo "a member of the group tarvex lists the server; another user is told the way in"

step "the sandbox, with the game through Wine in it"
pid=$(game_pid)
[ -n "$pid" ] || fail "no stvoyHM.exe runs as tarvex"
grep -a -q wine "/proc/$pid/maps" || fail "the game does not run through Wine"
grep -E '^(NoNewPrivs|Seccomp|CapEff):' "/proc/$pid/status"
grep -q '^NoNewPrivs:[[:space:]]*1' "/proc/$pid/status" || fail "the game may gain privileges"
grep -q '^Seccomp:[[:space:]]*2' "/proc/$pid/status" || fail "the game's system calls are not filtered"
grep -q '^CapEff:[[:space:]]*0*$' "/proc/$pid/status" || fail "the game holds capabilities"
# What the game may write: the services' folder and BaseEF; the game folder, its program and the system stay read-only.
mount_option() { POINT="$1" awk '$5 == ENVIRON["POINT"] { split($6, o, ","); print o[1] }' "/proc/$pid/mountinfo" | tail -n 1; }
escaped="${game// /\\040}"
for point in "$escaped/BaseEF" /var/lib/tarvex; do
  [ "$(mount_option "$point")" = rw ] || fail "the game may not write $point"
done
[ "$(mount_option /)" = ro ] || fail "the game may write the system"
[ -z "$(mount_option "$escaped")" ] || [ "$(mount_option "$escaped")" = ro ] || fail "the game may write the game folder"
[ "$(mount_option /home)" != rw ] || fail "the game may write home folders"
echo "the game (process $pid, through Wine) writes BaseEF and /var/lib/tarvex alone, with no capabilities and filtered system calls"
exposure=$(systemd-analyze security "$unit" 2>/dev/null | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
echo "systemd-analyze security $unit: $exposure"
[ -n "$exposure" ] && awk -v e="$exposure" 'BEGIN { exit !(e <= 3.0) }' || fail "the unit's exposure is ${exposure:-unknown}, above 3.0"

step "systemctl restart"
before=$(main_pid)
start=$(now)
systemctl restart "$unit" || fail "restart"
echo "systemctl restart returned after $(since "$start"), at the server's first answer"
[ "$(main_pid)" != "$before" ] || fail "the service was not restarted"
answers oa_dm1 || fail "slot 3 does not answer after the restart"

step "an upgrade while it runs (the same build with a higher version)"
before=$(main_pid)
sums=$(data_sums)
# A tarvex-cli no unit runs, as from a host's terminal: the upgrade names it.
sleep 300 | tarvex-cli write-log /tmp/terminal.log &
terminal=$!
apt-get install -y -qq --no-install-recommends ./tarvex-newer.deb >upgrade.out 2>&1 || { cat upgrade.out; fail "upgrade"; }
cat upgrade.out
grep -q "restarting $unit" upgrade.out || fail "the upgrade did not say it restarts $unit"
grep -q "still runs the replaced /usr/lib/tarvex/tarvex-cli" upgrade.out || fail "the upgrade did not name the terminal's tarvex-cli"
kill "$terminal"
after=$(main_pid)
[ "$after" != "$before" ] && [ "$after" != 0 ] || fail "$unit still runs the program the upgrade replaced"
exe=$(readlink "/proc/$after/exe")
echo "after the upgrade, $unit runs $exe (process $after, before: $before)"
[[ "$exe" != *deleted* ]] || fail "the service runs a deleted program"
answers oa_dm1 || fail "slot 3 does not answer after the upgrade"
[ "$(data_sums)" = "$sums" ] || fail "the upgrade changed /var/lib/tarvex"
echo "/var/lib/tarvex is byte for byte as before"

step "apt-get remove"
apt-get remove -y -qq tarvex >remove.out 2>&1 || { cat remove.out; fail "remove"; }
left=$(tarvex_processes)
[ -z "$left" ] || fail "processes of tarvex are left after the remove: $left"
[ "$(systemctl is-active "$unit")" != active ] || fail "$unit is still active"
[ "$(data_sums)" = "$sums" ] || fail "the remove changed /var/lib/tarvex"
echo "no server runs; the data is as it was"

step "apt-get purge"
apt-get purge -y -qq tarvex >purge.out 2>&1 || { cat purge.out; fail "purge"; }
links=$(find /etc/systemd/system -name 'tarvex@*' -o -xtype l)
[ -z "$links" ] || fail "left in /etc/systemd/system: $links"
systemctl list-unit-files 'tarvex@*' --no-legend | grep -q . && fail "systemd still knows tarvex@.service"
getent passwd tarvex >/dev/null || fail "the services' user is gone"
[ "$(data_sums)" = "$sums" ] || fail "the purge changed /var/lib/tarvex"
echo "no link and no unit left; the user and /var/lib/tarvex kept, byte for byte"

step "apt-get install again"
apt-get install -y -qq --no-install-recommends ./tarvex-newer.deb >reinstall.out 2>&1 || { cat reinstall.out; fail "reinstall"; }
[ "$(data_sums)" = "$sums" ] || fail "the reinstall changed /var/lib/tarvex"
tarvex-cli --system config --slot 3 | grep -q "^server-title = My Server" || fail "slot 3 is not there after the reinstall"
echo "slot 3 and every file of /var/lib/tarvex are there as before"
# The purge took the sandbox's drop-in: check says so, and the host README's two commands start it again.
tarvex-cli --system check --slot 3 >check.out 2>&1 && fail "check passed without the sandbox's drop-in"
grep -q "sandbox does not let it write BaseEF" check.out || { cat check.out; fail "check did not name the drop-in"; }
tarvex-cli --system game-folder "$game" >/dev/null && systemctl enable --now "$unit" || fail "the server did not start again"
answers oa_dm1 || fail "slot 3 does not answer after the reinstall"
echo "check names the missing drop-in; game-folder and systemctl enable --now start slot 3 again"

step "a server that cannot start: run gives up, and the journal shows what the game printed last"
systemctl stop "$unit"
echo "not a program" >"$game/stvoyHM.exe"
mkdir -p /etc/systemd/system/tarvex@3.service.d
printf '[Service]\nExecStart=\nExecStart=/usr/bin/tarvex-cli --system run --slot 3 --log - --restart-limit 2\n' \
  >/etc/systemd/system/tarvex@3.service.d/give-up.conf
systemctl daemon-reload
systemctl start "$unit" && fail "a game that cannot start was reported started"
journalctl -u "$unit" --no-pager -o cat >journal.out
grep -A2 "What the game printed last:" journal.out | tail -n 2 | tee last.out
grep -q "ShellExecuteEx failed" last.out || fail "the give-up report does not show the game's last lines"
grep -q "status=69/UNAVAILABLE" journal.out || fail "systemd does not name the give-up UNAVAILABLE"
echo "the journal shows the game's last lines after the give-up, and systemd names it status=69/UNAVAILABLE"
echo
echo "every step passed"
