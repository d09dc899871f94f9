#!/usr/bin/env bash
# Installs what is missing, builds Tarvex and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
