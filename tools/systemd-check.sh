#!/usr/bin/env bash
# The Debian package under a booted systemd, with the game through real Wine
# in the service's sandbox: a Debian 12 root (debootstrap, with systemd,
# Wine and its 32-bit part; cached outside the repository) is booted with
# systemd-nspawn, and tools/systemd-steps.sh runs in it as the machine's
# first job: install, the host README's first server, tarvex@3 enabled and
# answering, restart, an upgrade while it runs, remove, purge, reinstall,
# and systemd-analyze security of the installed unit. Needs root.
#   bash tools/systemd-check.sh DEB
# The upgrade installs the same build with a higher version.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" != 0 ]; then
  echo "SKIPPED: booting a container needs root"
  exit 0
fi
# tools/debian-check.sh runs the tests in a chroot, from which no machine is booted.
if [ -n "${TARVEX_IN_CHROOT:-}" ]; then
  echo "SKIPPED: a chroot boots no container with systemd; run it on the machine itself"
  exit 0
fi
deb=$(realpath "${1:?the package to install}")
engine=${TARVEX_WINE_ENGINE:-}
data=/usr/share/games/openarena/baseoa
if [ -z "$engine" ] || [ ! -e "$engine/stvoyHM.exe" ] || [ ! -d "$data" ]; then
  echo "SKIPPED: the booted-systemd check needs the 32-bit Windows engine (tools/test-engine.sh) and OpenArena's data"
  exit 0
fi
bash tools/install-deps.sh debootstrap systemd-container >&2
started=$(date +%s)
cache=${TARVEX_CACHE:-/var/cache/tarvex}/nspawn-bookworm
if [ ! -e "$cache/.complete" ]; then
  rm -rf "$cache.tmp"
  mkdir -p "$(dirname "$cache")"
  debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus bookworm "$cache.tmp" \
    http://deb.debian.org/debian >&2
  cp /etc/resolv.conf "$cache.tmp/etc/resolv.conf"
  chroot "$cache.tmp" bash -c 'dpkg --add-architecture i386 && apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine wine32:i386 python3 >/dev/null &&
    apt-get clean' >&2
  touch "$cache.tmp/.complete"
  rm -rf "$cache"
  mv "$cache.tmp" "$cache"
fi

root=$(mktemp -d /var/tmp/tarvex-systemd.XXXXXX)
trap 'rm -rf --one-file-system "$root"' EXIT
cp -a --reflink=auto "$cache/." "$root/"
rm -f "$root/.complete"
cp /etc/resolv.conf "$root/etc/resolv.conf"
[ -s "$root/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
echo tarvex-check >"$root/etc/hostname"

# What the steps need: the package, the same build with a higher version, the
# host README, and a game folder (the engine, OpenArena's maps in BaseEF) whose
# name holds a blank, as a host's may.
check="$root/check"
mkdir -p "$check/new"
cp "$deb" "$check/"
dpkg-deb -R "$deb" "$check/new/tree"
version=$(dpkg-deb -f "$deb" Version)
sed -i "s/^Version: .*/Version: $version+1/" "$check/new/tree/DEBIAN/control"
dpkg-deb -b --root-owner-group "$check/new/tree" "$check/tarvex-newer.deb" >/dev/null
rm -rf "$check/new"
cp dist/host/README.md tools/systemd-steps.sh "$check/"
game="$root/srv/elite force"
mkdir -p "$game/BaseEF"
for file in stvoyHM.exe libgcc_s_dw2-1.dll; do install -m 644 "$engine/$file" "$game/$file"; done
install -m 644 "$engine/qagamex86.dll" "$game/BaseEF/qagamex86.dll"
for pk3 in "$data"/*.pk3; do ln -s "$(realpath "$pk3")" "$game/BaseEF/$(basename "$pk3")"; done

# The steps run as a unit of their own once the machine is up, and power it off.
cat >"$root/etc/systemd/system/tarvex-check.service" <<'EOF'
[Unit]
Description=The Tarvex package's steps under systemd
After=multi-user.target
[Service]
Type=oneshot
ExecStart=/bin/bash -c 'bash /check/systemd-steps.sh >/check/steps.log 2>&1; echo $? >/check/status'
ExecStartPost=/usr/bin/systemctl poweroff --no-block
TimeoutStartSec=1200
[Install]
WantedBy=multi-user.target
EOF
ln -s /etc/systemd/system/tarvex-check.service "$root/etc/systemd/system/multi-user.target.wants/tarvex-check.service"

status=0
timeout -k 10 1500 systemd-nspawn -q -b --register=no --keep-unit -D "$root" \
  --bind-ro=/usr/share/games/openarena >"$check/boot.log" 2>&1 || status=$?
cat "$check/steps.log" 2>/dev/null || echo "the steps wrote nothing"
result=$(cat "$check/status" 2>/dev/null || echo none)
if [ "$result" != 0 ]; then
  echo "== the machine's boot ($status)"
  tail -n 40 "$check/boot.log"
fi
echo "systemd-check: the package under a booted systemd: $([ "$result" = 0 ] && echo passed || echo "FAILED ($result)")" \
  "in $(($(date +%s) - started)) s"
[ "$result" = 0 ]
