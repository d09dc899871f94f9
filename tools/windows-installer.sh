#!/usr/bin/env bash
# The Windows installer, tarvex-setup-VERSION.exe, from a program folder (the
# zip's), with Debian's NSIS:
#   bash tools/windows-installer.sh build-windows/tarvex build-windows
# The uninstaller removes the files and folders listed here, nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$(realpath "$1")
out=$(realpath "$2")
bash tools/install-deps.sh nsis >&2
# The version has one place, the newest entry of debian/changelog.
version=$(sed -n '1s/^tarvex (\([0-9.]*\).*/\1/p' debian/changelog)
quad=$version
while [ "$(tr -cd . <<<"$quad" | wc -c)" -lt 3 ]; do quad=$quad.0; done
files="$out/installer-files.nsh"
{
  (cd "$folder" && find . -type f | LC_ALL=C sort) | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
  (cd "$folder" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
} > "$files"
makensis -V2 -DVERSION="$version" -DVERSION_QUAD="$quad" -DSOURCE="$folder" -DFILES="$files" \
  -DOUTFILE="$out/tarvex-setup-$version.exe" dist/windows/tarvex.nsi >&2
echo "$out/tarvex-setup-$version.exe"
