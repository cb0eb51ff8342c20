#!/usr/bin/env bash
# Builds the shipped 32-bit installer (build/TelvistaSetup.exe) with its tests (build/tests), and
# the x86_64 build of the same sources with its tests (build/x64), which runs under wine64 on
# every machine. Extra arguments go to both CMake configurations, for example
# -DTELVISTA_VERSION=1.0.1.0.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)

cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DTELVISTA_BUILD_TESTS=ON \
  -DTELVISTA_PRODUCT_EXE="$top/build/TelvistaSetup.exe" "$@" >/dev/null
cmake --build build -j"$jobs"

cmake -S . -B build/x64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" \
  -DTELVISTA_PRODUCT_EXE="$top/build/TelvistaSetup.exe" "$@" >/dev/null
cmake --build build/x64 -j"$jobs"
