#!/usr/bin/env bash
# Builds libzip with clang, AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer's coverage, from Debian's own source package of the version
# installed here, once per machine, into the cache outside the repository, so
# that the pk3 fuzzer sees into the archive reader too. Prints the prefix.
set -euo pipefail
source "$(dirname "$0")/windows-common.sh"
finishIfBuilt libzip-fuzz
bash "$(dirname "$0")/install-deps.sh" clang ninja-build dpkg-dev zlib1g-dev libzip-dev >&2
debianSource libzip "$(dpkg-query -W -f='${source:Version}' libzip-dev)" libzip
cd "$cache/src"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1"
CC=clang cmake -S libzip -B libzip-fuzz-build -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_FLAGS="$flags" \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >"$cache/libzip-fuzz-configure.log" 2>&1
cmake --build libzip-fuzz-build -j"${TARVEX_JOBS:-2}" >"$cache/libzip-fuzz-build.log" 2>&1
cmake --install libzip-fuzz-build >"$cache/libzip-fuzz-install.log" 2>&1
touch "$prefix/.complete"
echo "$prefix"
