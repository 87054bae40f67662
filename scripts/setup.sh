#!/usr/bin/env bash
# Installs the Debian packages the project needs (only the missing ones).
# The 32-bit applet runs under wine32 from Debian's i386 architecture, which
# is added first when it is not there yet.
set -euo pipefail

# fp-utils: chmcmd and chmls, which compile and check the help file.
# nsis, zip: makensis and zip make the release's installers and zips.
packages=(cmake make g++ googletest libgtest-dev libgmock-dev clang-format
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
          wine64 wine32:i386 xvfb fonts-wine imagemagick
          fp-utils libxml2-utils nsis zip)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

updated=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (for wine32)"
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  updated=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  [ "$updated" = 1 ] || $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
