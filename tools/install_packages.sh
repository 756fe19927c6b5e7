#!/usr/bin/env bash
# Installs the Debian packages Quiventa builds, tests and runs with.
# Needs root on a machine without them; does nothing when all are present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  clang-14 libclang-rt-14-dev
  qt6-base-dev xvfb xauth xdg-utils
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
