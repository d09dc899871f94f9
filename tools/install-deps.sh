#!/usr/bin/env bash
# Installs what building and testing Tarvex needs on Debian 12 or 13 (run as root).
# Only packages that are missing are installed.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libpulse-dev libsndfile1-dev libzip-dev zlib1g-dev libedit-dev libjpeg-dev libstb-dev libgtest-dev nlohmann-json3-dev libcli11-dev libsystemd-dev fonts-dejavu-core "$@")
missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
