#!/usr/bin/env bash
# Installs what building and testing the installer needs on a Debian 12 machine, as root.
# Idempotent and quick when everything is present: apt runs only for missing packages.
#
# Wine runs the 64-bit build of the installer (wine64): the machines this project is built on
# cannot execute 32-bit x86 code (the kernel's 32-bit emulation is off), so the 32-bit loader
# (wine32:i386) would never start. The shipped 32-bit installer is built and checked as a file.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

SEVENZIP_BIN_VERSION=5.2.0   # npm package 7zip-bin, source of win/ia32/7za.exe

pkgs=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  xvfb xdotool imagemagick x11-utils
  cmake make rapidjson-dev fonts-roboto-unhinted googletest
  python3 python3-pil python3-numpy openssl curl
  iproute2 util-linux
)
# npm comes with the machine's Node.js where that is installed; otherwise from Debian.
command -v npm >/dev/null 2>&1 || pkgs+=(nodejs npm)

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# 7za.exe comes from the npm registry, pinned, installed outside the work tree.
dest="${TELVISTA_DEPS:-/opt/telvista-deps}/7zip-bin"
if [ ! -f "$dest/node_modules/7zip-bin/win/ia32/7za.exe" ]; then
  mkdir -p "$dest"
  (cd "$dest" && npm install --no-audit --no-fund --loglevel=error "7zip-bin@$SEVENZIP_BIN_VERSION")
fi
