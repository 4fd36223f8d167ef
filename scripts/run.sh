#!/usr/bin/env bash
# Builds the plug-in and runs it in the stand-in host: a fresh game folder, the
# plug-in loaded as an ASI loader does, then its INI, its log and the host bytes
# it changed. "--defaults" starts without an INI of the scene's own.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
source scripts/wine-session.sh
start_wine_session
wine "$BUILD_DIR/bin/crimsel_host.exe" "$@"
