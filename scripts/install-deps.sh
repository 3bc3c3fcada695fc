#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing Tolvane.
# Runs as root (or through sudo); does nothing when everything is already there.
set -euo pipefail

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make googletest xvfb xauth
          wine wine32:i386 wine64 fonts-wine ccache imagemagick x11-apps
          clang libclang-rt-14-dev nsis gnuplot-nox zip unzip)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
