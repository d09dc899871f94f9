#!/usr/bin/env bash
# Builds Qt 6 for Windows (x86_64-w64-mingw32) from Debian's own source package
# of the Qt version installed here, once per machine, into a cache outside the
# repository. Only what Tarvex needs: Core, Gui, Widgets, Test, the Windows and
# offscreen platform plugins, the GIF and JPEG image plugins. Debian's host Qt
# tools serve as the host tools of the cross build.
#
#   bash tools/windows-qt.sh            # prints the prefix when done
#   TARVEX_CACHE=/somewhere bash tools/windows-qt.sh
set -euo pipefail
cache=${TARVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}
prefix="$cache/qt-mingw"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
cd "$(dirname "$0")/.."
repo=$(pwd)
bash tools/install-deps.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix ninja-build dpkg-dev xz-utils
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
mkdir -p "$cache/src"
cd "$cache/src"
if ! ls qt6-base_*.orig.tar.xz >/dev/null 2>&1; then
  # Debian's own source of the installed Qt: a deb-src entry for the same suites.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    sed -n '/^Types: deb$/,/^$/p' /etc/apt/sources.list.d/debian.sources | sed 's/^Types: deb$/Types: deb-src/' \
      > /etc/apt/sources.list.d/tarvex-src.sources
  fi
  apt-get update -qq
  apt-get source --download-only "qt6-base=$version"
fi
if [ ! -d qtbase ]; then
  rm -rf qtbase.tmp && mkdir qtbase.tmp
  tar -xf qt6-base_*.orig.tar.xz -C qtbase.tmp --strip-components=1
  mv qtbase.tmp qtbase
fi
bash "$repo/tools/windows-toolchain.sh" "$cache"
# The +dfsg source has no wintab: tablet events off. OpenGL stays on (dynamic):
# the Windows platform plugin of this version does not build without it.
cmake -S qtbase -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_network=OFF -DFEATURE_icu=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF >"$cache/qt-configure.log" 2>&1
cmake --build build -j"${TARVEX_JOBS:-2}" >"$cache/qt-build.log" 2>&1
cmake --install build >"$cache/qt-install.log" 2>&1
touch "$prefix/.complete"
echo "$prefix"
