#!/usr/bin/env bash
# Install benchmark: start-up cost against a blank window program, a whole install of a 100 MiB
# package from nginx against its parts measured alone, the installer's peak working set and its
# size by resource. Figures only (tests/bench/bench_install.py). BENCH_MIB sets the package size.
set -euo pipefail
. "$(dirname "$0")/fixed-layout.sh"
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash tools/setup-debian.sh
bash tools/build.sh "$@"
. tools/wine-session.sh
wine_session_start
xcompmgr >/dev/null 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null || true; wine_session_stop' EXIT
python3 tests/bench/bench_install.py --installer build/x64/TelvistaSetup.exe --wine "$WINE64" \
  --tests build/x64/tests --work build/bench-install --mib "${BENCH_MIB:-100}"
