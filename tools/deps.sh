#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, when missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev
          libwebsockets-dev libpng-dev zlib1g-dev libfreetype-dev fonts-dejavu-core bubblewrap)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y --no-install-recommends "${missing[@]}" \
  || { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
