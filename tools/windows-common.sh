# Sourced by the scripts that build libraries for Windows (x86_64-w64-mingw32)
# from Debian's own source packages into a cache outside the repository.

cache=${TARVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}

# Prints the library's prefix and ends the script when it was built before.
finishIfBuilt() {
  prefix="$cache/$1"
  if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
  fi
}

# The CMake toolchain file for MinGW, $cache/mingw-toolchain.cmake.
writeToolchain() {
  mkdir -p "$cache"
  cat > "$cache/mingw-toolchain.cmake" <<'CMAKE'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
CMAKE
}

# Debian's source of PACKAGE=VERSION, unpacked into $cache/src/FOLDER (once).
debianSource() {
  local package=$1 version=$2 folder=$3
  mkdir -p "$cache/src"
  (
    cd "$cache/src"
    if ! ls "${package}"_*.orig.tar.* >/dev/null 2>&1; then
      # A deb-src entry for the same suites as the installed packages.
      if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        sed -n '/^Types: deb$/,/^$/p' /etc/apt/sources.list.d/debian.sources | sed 's/^Types: deb$/Types: deb-src/' \
          > /etc/apt/sources.list.d/tarvex-src.sources
      fi
      apt-get update -qq
      apt-get source --download-only "$package=$version"
    fi
    if [ ! -d "$folder" ]; then
      rm -rf "$folder.tmp" && mkdir "$folder.tmp"
      tar -xf "${package}"_*.orig.tar.* -C "$folder.tmp" --strip-components=1
      mv "$folder.tmp" "$folder"
    fi
  ) >&2
}
