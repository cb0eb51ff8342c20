#!/usr/bin/env bash
# Installs what building and testing the installer needs on a Debian 12 machine, as root.
# Idempotent and quick when everything is present: apt runs only for missing packages.
#
# Wine runs the x86_64 build of the installer everywhere (wine64). Wine's 32-bit side
# (wine32:i386), which runs the shipped 32-bit installer and its tests, is installed only where
# the kernel executes 32-bit x86 code: elsewhere its loader cannot start, and once installed,
# Debian's `wine` wrapper would prefer it even for 64-bit programs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tools/arch32.sh"

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

if runs_32bit_code; then
  echo "setup: this machine executes 32-bit x86 code: Wine's 32-bit side (wine32:i386) runs the shipped installer"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    added_i386=1
  fi
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' ||
    missing+=(wine32:i386)
else
  echo "setup: this machine does not execute 32-bit x86 code (the kernel's 32-bit emulation is off): only the x86_64 build runs under Wine"
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${added_i386:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  [ ${#missing[@]} -eq 0 ] || apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# 7za.exe comes from the npm registry, pinned, installed outside the work tree.
dest="${TELVISTA_DEPS:-/opt/telvista-deps}/7zip-bin"
if [ ! -f "$dest/node_modules/7zip-bin/win/ia32/7za.exe" ]; then
  mkdir -p "$dest"
  (cd "$dest" && npm install --no-audit --no-fund --loglevel=error "7zip-bin@$SEVENZIP_BIN_VERSION")
fi
