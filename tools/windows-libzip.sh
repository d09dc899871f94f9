#!/usr/bin/env bash
# Builds libzip for Windows (x86_64-w64-mingw32) from Debian's own source
# package of the version installed here, once per machine, into the same cache
# as Qt; zlib comes from Debian's MinGW package. Prints the prefix.
set -euo pipefail
cache=${TARVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}
prefix="$cache/libzip-mingw"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
cd "$(dirname "$0")/.."
bash tools/install-deps.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev ninja-build \
  dpkg-dev libzip-dev >&2
bash tools/windows-toolchain.sh "$cache" >&2
version=$(dpkg-query -W -f='${source:Version}' libzip-dev)
mkdir -p "$cache/src"
cd "$cache/src"
if ! ls libzip_*.orig.tar.* >/dev/null 2>&1; then
  apt-get source --download-only "libzip=$version" >&2
fi
if [ ! -d libzip ]; then
  rm -rf libzip.tmp && mkdir libzip.tmp
  tar -xf libzip_*.orig.tar.* -C libzip.tmp --strip-components=1
  mv libzip.tmp libzip
fi
cmake -S libzip -B libzip-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >"$cache/libzip-configure.log" 2>&1
cmake --build libzip-build -j"${TARVEX_JOBS:-2}" >"$cache/libzip-build.log" 2>&1
cmake --install libzip-build >"$cache/libzip-install.log" 2>&1
touch "$prefix/.complete"
echo "$prefix"
