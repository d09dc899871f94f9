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
source "$(dirname "$0")/windows-common.sh"
finishIfBuilt qt-mingw
bash "$(dirname "$0")/install-deps.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix ninja-build dpkg-dev \
  xz-utils >&2
writeToolchain
debianSource qt6-base "$(dpkg-query -W -f='${Version}' qt6-base-dev)" qtbase
cd "$cache/src"
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
