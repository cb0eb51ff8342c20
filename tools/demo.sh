#!/usr/bin/env bash
# The main command: a whole installation as a new user sees it. Builds; publishes a demo release
# made of the stand-in programs (tests/fixtures/standins) with tools/publish_release.py; serves it
# with nginx on 127.0.0.1 (tools/release-server.sh); starts the installer from the Downloads
# folder of a Wine prefix on a virtual display with its window at a known place; ticks the box
# and presses Install with pointer clicks; takes a screenshot of every page; waits until the
# stand-in product reports that it was started; prints what it saw and what the installation left.
#
#   bash tools/demo.sh                    install (a second run finds the product installed and
#                                         current and starts it)
#   bash tools/demo.sh --self-update      a newer installer is published: the installer replaces
#                                         itself and the new one carries on
#   bash tools/demo.sh --no-connection    no connection at start, back after 10 s
#   bash tools/demo.sh --connection-lost  the connection lost for 30 s during the package download
#   bash tools/demo.sh --uninstall        removal through the registered UninstallString
#   bash tools/demo.sh --fresh ...        start from a new prefix (forgets the installation)
#
# The prefix is kept in build/demo/prefix between runs. The two connection roads install into a
# throwaway prefix inside a private network namespace (tests/fixtures/netns_run.sh).
# Other arguments go to CMake.
. "$(dirname "$0")/fixed-layout.sh"
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

road=install
fresh=
cmake_args=()
for arg in "$@"; do
  case "$arg" in
    --self-update) road=self-update ;;
    --no-connection) road=no-connection ;;
    --connection-lost) road=connection-lost ;;
    --uninstall) road=uninstall ;;
    --fresh) fresh=1 ;;
    *) cmake_args+=("$arg") ;;
  esac
done

bash tools/setup-debian.sh
bash tools/build.sh "${cmake_args[@]}"

out="$top/build/demo"
mkdir -p "$out"
[ -z "$fresh" ] || rm -rf "$out/prefix"
# The two connection roads show a first installation: a throwaway prefix of their own.
case "$road" in
  no-connection | connection-lost) unset WINE_SESSION_PREFIX ;;
  *) export WINE_SESSION_PREFIX="$out/prefix" ;;
esac
. tools/wine-session.sh
wine_session_start

# The file users download where this machine executes 32-bit code; the x86_64 build elsewhere.
. tools/arch32.sh
if wine32_ready; then
  echo "demo: running the shipped 32-bit installer build/TelvistaSetup.exe (WoW64 prefix)"
  installer="$top/build/TelvistaSetup.exe"
  tests="$top/build/tests"
  loader=/usr/lib/wine/wine
else
  echo "demo: running the x86_64 build build/x64/TelvistaSetup.exe (this machine does not execute 32-bit x86 code)"
  installer="$top/build/x64/TelvistaSetup.exe"
  tests="$top/build/x64/tests"
  loader="$WINE64"
fi

# Layered windows (the cover over the window) are blended only with a compositing manager.
xcompmgr >/dev/null 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null || true; wine_session_stop' EXIT

run=(python3 tools/demo.py --road "$road" --installer "$installer" --wine "$loader"
     --standins "$tests/standins" --watcher "$tests/page_watch.exe"
     --out "$out")
case "$road" in
  no-connection | connection-lost) sh tests/fixtures/netns_run.sh "${run[@]}" ;;
  *) "${run[@]}" ;;
esac
