#!/usr/bin/env bash
# The main command: builds the installer and starts it under Wine on a virtual display, then
# prints where its install log and a screenshot of its window are.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/setup-debian.sh
bash tools/build.sh "$@"

. tools/wine-session.sh
wine_session_start

out="$top/build/demo"
mkdir -p "$out"
log="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Orvane/Telvista/Log/Install.log"
# The file users download where this machine executes 32-bit code; the x86_64 build elsewhere.
. tools/arch32.sh
if wine32_ready; then
  echo "demo: running the shipped 32-bit installer build/TelvistaSetup.exe (WoW64 prefix)"
  /usr/lib/wine/wine build/TelvistaSetup.exe >/dev/null 2>&1 &
else
  echo "demo: running the x86_64 build build/x64/TelvistaSetup.exe (this machine does not execute 32-bit x86 code)"
  "$WINE64" build/x64/TelvistaSetup.exe >/dev/null 2>&1 &
fi
installer=$!
# The window opens right after the start-up lines are logged; give it a moment to paint.
for _ in $(seq 1 100); do
  grep -q 'cmdline:' "$log" 2>/dev/null && break
  sleep 0.2
done
sleep 2
import -window root "$out/window.png"
"$WINESERVER" -k >/dev/null 2>&1 || true   # ends the installer and Wine's own processes
wait "$installer" 2>/dev/null || true
cp "$log" "$out/Install.log"
echo "install log: $out/Install.log"
echo "screenshot:  $out/window.png"
