#!/usr/bin/env bash
# Installs what is missing, builds Tarvex and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
# The engine test's dedicated server (ioquake3 with OpenArena's data); without
# it that test reports itself skipped.
bash tools/install-deps.sh openarena-server ||
  echo "openarena-server could not be installed: the engine test will be skipped"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
cd build
# The engine test runs on its own, showing the values it read back from the server.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -L engine --verbose
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -LE engine
