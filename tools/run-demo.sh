#!/usr/bin/env bash
# Installs what is missing, builds Tarvex and starts it on the demo game
# folder: ENGAGE! shows what the game would have received.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh python3
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build -j2 --target tarvex tarvex-cli tarvex_data
exec bash demo/start.sh build/program
