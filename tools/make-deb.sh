#!/usr/bin/env bash
# Builds the Debian package, build-deb/tarvex_VERSION_ARCH.deb: the programs on
# the PATH (/usr/bin, linked to the program folder /usr/lib/tarvex), the
# desktop entry and icon, AppStream metadata and the systemd unit tarvex@.service;
# its dependencies computed from the binaries (dpkg-shlibdeps). Prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh dpkg-dev file >&2
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTARVEX_FHS_LAYOUT=ON \
  -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-deb -j2 >&2
rm -f build-deb/tarvex_*.deb
(cd build-deb && cpack -G DEB >/dev/null)
ls build-deb/tarvex_*.deb
