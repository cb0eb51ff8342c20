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
"$WINE64" build/x64/TelvistaSetup.exe >/dev/null 2>&1 &
installer=$!
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^Pantavi' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
sleep 1
import -window root "$out/window.png"
[ -n "$window" ] && xdotool windowclose "$window" >/dev/null 2>&1 || true
wait "$installer" || true
cp "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Orvane/Telvista/Log/Install.log" "$out/Install.log" 2>/dev/null ||
  cp "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Orvane/Telvista/Log/Install.log "$out/Install.log"
echo "install log: $out/Install.log"
echo "screenshot:  $out/window.png"
