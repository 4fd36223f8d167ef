#!/usr/bin/env bash
# Builds everything and runs every test under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh
source scripts/wine-session.sh
start_wine_session
ctest --preset release "$@"
