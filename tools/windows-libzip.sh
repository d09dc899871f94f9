#!/usr/bin/env bash
# Builds libzip for Windows (x86_64-w64-mingw32) from Debian's own source
# package of the version installed here, once per machine, into the same cache
# as Qt; zlib comes from Debian's MinGW package. Prints the prefix.
set -euo pipefail
source "$(dirname "$0")/windows-common.sh"
finishIfBuilt libzip-mingw
bash "$(dirname "$0")/install-deps.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev \
  ninja-build dpkg-dev libzip-dev >&2
writeToolchain
debianSource libzip "$(dpkg-query -W -f='${source:Version}' libzip-dev)" libzip
cd "$cache/src"
cmake -S libzip -B libzip-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >"$cache/libzip-configure.log" 2>&1
cmake --build libzip-build -j"${TARVEX_JOBS:-2}" >"$cache/libzip-build.log" 2>&1
cmake --install libzip-build >"$cache/libzip-install.log" 2>&1
touch "$prefix/.complete"
echo "$prefix"
