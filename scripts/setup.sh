#!/usr/bin/env bash
# Installs what the build needs (Debian 12), configures and builds.
# Usage: scripts/setup.sh [preset]   (default preset: "default", binaries in build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-default}

packages=(
  cmake ninja-build g++ pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev libtbb-dev libhwy-dev
  libdeflate-dev  # the PNG writer's compressor
  libnoise-dev  # the peer benchmark of bench/compare.sh
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev
  libxcb1-dev  # lumadrift follows the X window it draws in
  # end-to-end tests and documentation screenshots under a virtual X server
  xvfb xauth openbox xdotool x11-utils imagemagick
  # the Debian package (cpack -G DEB and its test)
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing missing packages: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
