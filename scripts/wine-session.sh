# Sourced by the scripts that run Windows programs: one Wine prefix inside the
# build folder and a persistent wineserver for it, and with "--display" a
# virtual X display of the session's own for Direct3D 9; all stopped on exit.
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads the Unix paths and arguments that it is given in the locale's
# character set: in any but UTF-8, a clone in a folder named in accented or
# Cyrillic letters is not found, nor a path given to a program there.
export LC_ALL=C.UTF-8

XVFB_PID=""
SESSION_TMPDIR=""

# Wine's server first: its background processes hold connections to the display.
# Then the session's temp folder with all in it, the server's socket folder too.
stop_wine_session() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
  if [ -n "$SESSION_TMPDIR" ]; then
    rm -rf "$SESSION_TMPDIR"
    SESSION_TMPDIR=""
  fi
}

# Xvfb picks a free display number itself and tells it on a descriptor
# (-displayfd), so two runs on one machine cannot race for one.
start_display() {
  local number_file
  number_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    if [ -s "$number_file" ]; then
      break
    fi
    sleep 0.1
  done
  if [ ! -s "$number_file" ]; then
    rm -f "$number_file"
    echo "display: Xvfb did not start" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$number_file")"
  rm -f "$number_file"
}

start_wine_session() {
  mkdir -p "$WINEPREFIX"
  trap stop_wine_session EXIT
  trap 'exit 130' INT TERM
  # A temp folder of the session's own, which every program it starts inherits
  # and which goes with the session, with all that is left in it. Wine's server
  # keeps its socket there, so no Wine program finds a server of an earlier run,
  # which would time out and leave the next one to start its own, holding the
  # test runner's output pipe open; a test stopped at its time-out leaves its
  # scratch folders and its browser's profile there.
  SESSION_TMPDIR="$(mktemp -d)"
  export TMPDIR="$SESSION_TMPDIR"
  # Never the caller's display: Wine's desktop process takes it when it starts.
  unset DISPLAY
  if [ "${1:-}" = --display ]; then
    start_display
  fi
  wineserver -p
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: preparing the prefix in $WINEPREFIX" >&2
  fi
  # Starts Wine's background services now, detached from any caller's output:
  # started later by a test, they would keep the runner's pipe open.
  wineboot -i >/dev/null 2>&1
  # The same for Wine's desktop process, which a drawing test would otherwise
  # start again once it has gone idle, and then hold the runner's pipe open for
  # the twenty seconds it lingers: one window open for the session keeps it.
  if [ -n "$XVFB_PID" ]; then
    wine notepad.exe >/dev/null 2>&1 &
  fi
}
