#!/usr/bin/env bash
# Installs the Debian packages Kestravon needs to build, run and test.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config dpkg-dev file
  libgtest-dev libgmock-dev googletest
  libsdl2-dev
  libgl-dev libopengl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libpng-dev
  xvfb xdotool imagemagick xfonts-base x11-utils
  g++-mingw-w64-x86-64-posix wine64
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils libx11-dev libxfixes-dev libxtst-dev
  libxrandr-dev weston xwayland
  clang-format clang-tidy shellcheck
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
