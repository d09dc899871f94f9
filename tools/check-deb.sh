#!/usr/bin/env bash
# The Debian package, checked: built (tools/make-deb.sh), unpacked into a
# clean root, its programs run from the installed paths (tarvex-cli, and the
# window's start-up offscreen), its desktop entry, AppStream metadata and
# systemd unit validated (with the unit's exposure), and lintian: an error
# or a warning fails, its notes are listed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh desktop-file-utils appstream lintian >&2
deb=$(bash tools/make-deb.sh)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
echo "== $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
for file in usr/bin/tarvex usr/bin/tarvex-cli usr/lib/tarvex/maps.ini usr/lib/tarvex/save/save1.sav \
    usr/share/applications/io.github.tarvex.tarvex.desktop usr/share/icons/hicolor/128x128/apps/io.github.tarvex.tarvex.png \
    usr/share/metainfo/io.github.tarvex.tarvex.metainfo.xml usr/lib/systemd/system/tarvex@.service \
    usr/share/doc/tarvex/copyright usr/share/doc/tarvex/README.md.gz usr/share/doc/tarvex/changelog.gz \
    usr/share/man/man1/tarvex-cli.1.gz \
    usr/lib/tarvex/installed-by-package; do
  [ -e "$root/$file" ] || { echo "missing from the package: /$file"; exit 1; }
done
echo "== the installed programs"
"$root/usr/bin/tarvex-cli" --version
"$root/usr/bin/tarvex-cli" --help | sed -n 1,3p
"$root/usr/bin/tarvex" --version
# The window from its installed place: it starts (its read-only program
# folder sends it to the user's data folder) and runs until it is ended.
home=$(mktemp -d)
status=0
HOME="$home" QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/tarvex" >"$home/out.txt" 2>&1 || status=$?
[ "$status" -eq 124 ] || { echo "the window did not keep running (status $status):"; cat "$home/out.txt"; exit 1; }
echo "the window started and ran until it was ended"
rm -rf "$home"
echo "== validators"
desktop-file-validate "$root/usr/share/applications/io.github.tarvex.tarvex.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/io.github.tarvex.tarvex.metainfo.xml"
grep -q '^ExecStart=/usr/bin/tarvex-cli --system run --slot %i --log -$' "$root/usr/lib/systemd/system/tarvex@.service"
sh tests/unit-check.sh "$root/usr/lib/systemd/system/tarvex@.service" "$root/usr/bin/tarvex-cli"
# The host's guide is what the package ships, not the developers' README.
zcat "$root/usr/share/doc/tarvex/README.md.gz" | cmp -s - dist/host/README.md ||
  { echo "the package's README is not dist/host/README.md"; exit 1; }
echo "== lintian"
lintian --tag-display-limit 0 -I "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$root/lintian.txt" || true
! grep -q '^[EW]: ' "$root/lintian.txt" || { echo "lintian found errors or warnings"; exit 1; }
echo "the package checks passed"
