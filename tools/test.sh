#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test under Wine
# in a throwaway prefix on a virtual display. Ends with CTest's summary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/setup-debian.sh
bash tools/build.sh "$@"

. tools/wine-session.sh
wine_session_start
ctest --test-dir build/x64 --output-on-failure
