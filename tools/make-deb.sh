#!/usr/bin/env bash
# Builds the Debian package with Debian's own tools (dpkg-buildpackage and
# debhelper, from debian/): build-deb/tarvex_VERSION_ARCH.deb. The tree's
# files (all but the build folders and .git) are copied into build-deb/src,
# keeping their times, so that a second build only compiles what changed.
# Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh build-essential dpkg-dev debhelper file >&2
src=build-deb/src
mkdir -p "$src"
# What left the tree leaves the copy too (the build folder stays).
(cd "$src" && find . -path ./obj-\* -prune -o -path ./debian/tarvex -prune -o -path ./debian/.debhelper -prune \
  -o -type f -print0) | sort -z >build-deb/copied.list
find . \( -path './build*' -o -path ./.git -o -path ./.cache \) -prune -o -type f -print0 | sort -z >build-deb/tree.list
comm -z -23 build-deb/copied.list build-deb/tree.list | (cd "$src" && xargs -0 -r rm -f --)
tar --null -T build-deb/tree.list -cf - | tar -xf - -C "$src"
rm -f build-deb/tarvex_*.deb build-deb/tarvex-dbgsym_*
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b -nc -us -uc >&2)
ls build-deb/tarvex_*.deb
