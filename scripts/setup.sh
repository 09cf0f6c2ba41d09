#!/usr/bin/env bash
# Installs the Debian packages Kestravon needs to build, run and test.
# Safe to run again: it installs only what is missing. As root it runs
# apt-get itself; otherwise through sudo, and where there is no sudo it
# names the packages and the command to run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config dpkg-dev file lintian
  libgtest-dev libgmock-dev googletest
  libsdl2-dev
  libgl-dev libopengl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libpng-dev
  xvfb xdotool imagemagick xfonts-base x11-utils gnuplot-nox
  g++-mingw-w64-x86-64-posix wine64 msitools wixl
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils libx11-dev libxfixes-dev libxtst-dev
  libxrandr-dev weston xwayland
  clang-format clang-tidy shellcheck
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install="apt-get install -y --no-install-recommends ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Kestravon needs these Debian packages, and there is no sudo here to install them:" >&2
    echo "  ${missing[*]}" >&2
    echo "Run, as root (su -), then this command again:" >&2
    echo "  apt-get update && $install" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
