#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test under Wine
# in a throwaway prefix on a virtual display: the x86_64 build always, and the shipped 32-bit
# build again in a WoW64 prefix wherever this machine executes 32-bit x86 code. Ends with the
# CTest summary of each suite that ran, and fails when any of them fails.
set -euo pipefail
. "$(dirname "$0")/fixed-layout.sh"
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/setup-debian.sh
bash tools/build.sh "$@"
. tools/arch32.sh
. tools/wine-session.sh

failed=()
run_suite() {  # <name> <build folder>
  local rc=0
  echo "== $1 suite ($2) =="
  wine_session_start
  ctest --test-dir "$2" --output-on-failure || rc=$?
  wine_session_stop
  trap - EXIT
  [ "$rc" -eq 0 ] || failed+=("$1")
}

run_suite x86_64 build/x64
if wine32_ready; then
  run_suite "32-bit (i686)" build
  echo "tests: ran the x86_64 suite and the 32-bit suite of the shipped installer"
elif runs_32bit_code; then
  echo "tests: ran the x86_64 suite; the 32-bit suite did not run: wine32:i386 is not installed (tools/setup-debian.sh installs it)"
  failed+=("32-bit (i686): wine32 missing")
else
  echo "tests: ran the x86_64 suite; the 32-bit suite did not run: this machine does not execute 32-bit x86 code (the kernel's 32-bit emulation is off), so Wine's 32-bit loader cannot start"
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "tests: FAILED: ${failed[*]}"
  exit 1
fi
