#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds Tarvex and runs every test: once in a
# RelWithDebInfo build (with the engine tests: the native server, and the game's path through
# real Wine), once more under AddressSanitizer
# and UndefinedBehaviorSanitizer; then builds and checks the Debian package, installs it here, and
# boots Debian with systemd in a container to run it as a service, the game through Wine in its sandbox.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
# Every C++ file as .clang-format lays it out.
bash tools/check-format.sh
# The engine test's dedicated server (ioquake3 with OpenArena's data); without
# it that test reports itself skipped.
# iproute2 brings its network namespace's loopback up (a minimal Debian root has no "ip").
bash tools/install-deps.sh openarena-server iproute2 ||
  echo "openarena-server could not be installed: the engine test will be skipped"
# The real-Wine test's 32-bit Windows engine, built once into a cache, and Wine's 32-bit part;
# where either cannot be had, that test reports itself skipped and says why.
TARVEX_WINE_ENGINE=$(bash tools/test-engine.sh)
export TARVEX_WINE_ENGINE
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_SANITIZE=ON >/dev/null
cmake --build build-asan -j2
export QT_QPA_PLATFORM=offscreen
# Memory errors and undefined behaviour fail a test; Qt's own leaks at exit are not ours.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j2 -LE 'engine|wine')
cd build
# The engine tests run on their own, showing the values and times they read from the server.
ctest --output-on-failure -L engine --verbose
ctest --output-on-failure -L wine --verbose
ctest --output-on-failure -j2 -LE 'engine|wine'
cd ..
# The Debian package: built, unpacked into a clean root, its programs run from there, validated;
# then installed on this machine and used as a host would (as root only).
bash tools/check-deb.sh
bash tools/check-install.sh build-deb/tarvex_3*.deb
# The package's life under a booted systemd: the host README's first server under tarvex@3, restart,
# an upgrade while it runs, remove, purge and reinstall (as root only).
bash tools/systemd-check.sh build-deb/tarvex_3*.deb
