# Sourced by the scripts that run Windows programs: one Wine prefix inside the
# build folder and a persistent wineserver for it, stopped again on exit.
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

start_wine_session() {
  mkdir -p "$WINEPREFIX"
  # A server left from an earlier run would time out and leave the next Wine
  # program to start its own, which holds the test runner's output pipe open.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -p
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: preparing the prefix in $WINEPREFIX" >&2
  fi
  # Starts Wine's background services now, detached from any caller's output:
  # started later by a test, they would keep the runner's pipe open.
  wineboot -i >/dev/null 2>&1
}
