# Sourced by the test and demo commands: a throwaway Wine prefix on a virtual display.
#   wine_session_start   creates the prefix, starts Xvfb and a persistent wineserver
#   wine_session_stop    ends them and removes the prefix (also run on exit)
# Afterwards WINEPREFIX, DISPLAY, WINEDEBUG and WINE64 (the loader to run programs with) are set.
# With WINE_SESSION_PREFIX set, that folder is the prefix, made on first use and kept afterwards
# (the main command keeps what the installer installed for its next run).

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_session_start() {
  if (( (0x$(< /proc/$$/personality) & 0x0040000) == 0 )); then
    echo "wine-session: address-space randomisation is on (tools/fixed-layout.sh turns it off):" \
         "about one Wine start in a few thousand will end before its program runs" >&2
  fi
  export WINEPREFIX
  local fresh=1
  if [ -n "${WINE_SESSION_PREFIX:-}" ]; then
    WINEPREFIX=$WINE_SESSION_PREFIX
    mkdir -p "$WINEPREFIX"
    [ -f "$WINEPREFIX/system.reg" ] && fresh=
  else
    WINEPREFIX=$(mktemp -d /tmp/telvista-wine.XXXXXX)
  fi
  export WINEDEBUG=-all
  export WINEARCH=win64
  # No Mono or Gecko installer prompts in a prefix that never needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  local displayfile
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$displayfile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(tr -d '\n' < "$displayfile")"
  rm -f "$displayfile"
  trap wine_session_stop EXIT
  [ -z "$fresh" ] || "$WINE64" wineboot -i >/dev/null 2>&1
  # Wine links the profile's Desktop, Downloads, Documents, ... to the Unix home folder: every
  # session on the machine would then share the desktop, the Downloads folder and the override
  # file in it. Each prefix gets folders of its own.
  local profile link
  profile="$WINEPREFIX/drive_c/users/$(id -un)"
  for link in "$profile"/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  # Let the first boot settle (its server ends when its processes have), then keep one server for
  # the whole session so that each test program does not start its own.
  timeout 120 "$WINESERVER" -w || true
  "$WINESERVER" -p
  # Start Wine's own background processes (services, desktop) now, detached from any output: a
  # test program that started them would hand them its stdout, and CTest would wait for them.
  "$WINE64" wineboot </dev/null >/dev/null 2>&1
}

wine_session_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1 || true
  # A test may have left a folder immutable (chattr +i) if it was stopped half-way.
  chattr -i "$WINEPREFIX/drive_c/windows/Fonts" >/dev/null 2>&1 || true
  case "$WINEPREFIX" in /tmp/telvista-wine.*) rm -rf "$WINEPREFIX" ;; esac
  WINEPREFIX=
}
