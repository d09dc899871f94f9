#!/usr/bin/env bash
# The README's test command (tools/test.sh) on a fresh root of another Debian
# release, as a newcomer there would run it: debootstrap makes a minimal root
# once (cached outside the repository), each run works in a fresh copy of it
# entered with chroot, on a clone of the committed tree, as root, with only
# Debian's registry reachable. Needs root.
#   bash tools/debian-check.sh [RELEASE]     (default: trixie, Debian 13)
set -euo pipefail
cd "$(dirname "$0")/.."
release=${1:-trixie}
cache=${TARVEX_CACHE:-/var/cache/tarvex}/debian-$release
[ "$(id -u)" = 0 ] || { echo "debian-check: debootstrap and chroot need root"; exit 1; }
bash tools/install-deps.sh debootstrap >&2
started=$(date +%s)
if [ ! -x "$cache/usr/bin/apt-get" ]; then
  rm -rf "$cache.tmp"
  mkdir -p "$(dirname "$cache")"
  debootstrap --variant=minbase "$release" "$cache.tmp" http://deb.debian.org/debian >&2
  mv "$cache.tmp" "$cache"
fi
root=$(mktemp -d "/var/tmp/tarvex-$release.XXXXXX")
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
cp -a "$cache/." "$root/"
git clone -q . "$root/src"
# The vendored sources beside the clone, as CI has them (read-only there too).
[ ! -d ../shared ] || cp -a ../shared "$root/shared"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# debootstrap writes no hosts file; an installed Debian has this one (localhost is ::1 first on 13).
[ -s "$root/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
for fs in proc sys dev dev/pts; do
  mount --bind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done
status=0
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 CI="${CI:-}" TARVEX_IN_CHROOT=1 \
  bash -c 'cd /src && bash tools/test.sh' || status=$?
echo "debian-check: tools/test.sh on Debian $release ($(. "$root/etc/os-release" && echo "$VERSION")): " \
  "$([ "$status" = 0 ] && echo passed || echo "FAILED ($status)") in $(($(date +%s) - started)) s"
exit "$status"
