#!/usr/bin/env bash
# Configures and builds the plug-in, the stand-in host, the tests and the
# players' page. The page carries the INI that a first start of the plug-in
# writes, which the build makes by running it in the stand-in host: so the build
# runs in a Wine session of its own, with its prefix in the build folder.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
cmake --preset release >/dev/null
source scripts/wine-session.sh
start_wine_session
cmake --build --preset release
