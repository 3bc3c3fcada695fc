#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing Tolvane.
# Runs as root (or through sudo); does nothing when everything is already there.
set -euo pipefail

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make googletest xvfb xauth
          wine wine32:i386 wine64 fonts-wine ccache imagemagick x11-apps
          clang libclang-rt-14-dev nsis gnuplot-nox zip unzip locales)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The code-page-932 tests run Wine in a Japanese locale, from which it takes
# its ANSI code page; Debian makes only the locales asked for.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  echo "Making the locale ja_JP.UTF-8"
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
