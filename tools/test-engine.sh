#!/usr/bin/env bash
# The real-Wine test's engine: a 32-bit Windows id Tech 3 dedicated server
# (ioquake3, built by ../shared/vendor/build-test-engine.sh into a cache
# outside the repository, once), and Wine with its 32-bit part (installed
# here where missing, as root). Prints the engine's folder (stvoyHM.exe,
# qagamex86.dll, libgcc_s_dw2-1.dll); prints nothing and says why on standard
# error where either cannot be had.
#   bash tools/test-engine.sh
# TARVEX_TEST_ENGINE_SOURCE names the folder of build-test-engine.sh (default:
# ../shared/vendor beside the repository); TARVEX_TEST_ENGINE_CACHE the cache.
set -euo pipefail
cd "$(dirname "$0")/.."
source=${TARVEX_TEST_ENGINE_SOURCE:-$(pwd)/../shared/vendor}
if [ "$(id -u)" = 0 ]; then cache_default=/var/cache/tarvex/test-engine; else
  cache_default=${XDG_CACHE_HOME:-$HOME/.cache}/tarvex-test-engine
fi
cache=${TARVEX_TEST_ENGINE_CACHE:-$cache_default}
if [ ! -f "$source/build-test-engine.sh" ]; then
  echo "test-engine: no engine source at $source (build-test-engine.sh)" >&2
  exit 0
fi
# Wine with its 32-bit part: the game is a 32-bit Windows program.
if [ ! -x /usr/lib/wine/wine ] || ! command -v wine >/dev/null; then
  if [ "$(id -u)" != 0 ]; then
    echo "test-engine: Wine's 32-bit part is missing, and only root installs it" >&2
    exit 0
  fi
  if [ "$(dpkg --print-architecture)" = amd64 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  {
    apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine wine32:i386 >/dev/null
  } >&2 || { echo "test-engine: Wine's 32-bit part (wine32:i386) could not be installed" >&2; exit 0; }
fi
fresh=; [ -f "$cache/.complete" ] || fresh=1
started=$(date +%s)
if ! folder=$(bash "$source/build-test-engine.sh" "$cache"); then
  echo "test-engine: the engine did not build (see $cache/build.log)" >&2
  exit 1
fi
[ -z "$fresh" ] || echo "test-engine: built in $(($(date +%s) - started)) s, into $folder" >&2
echo "$folder"
