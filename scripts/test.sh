#!/usr/bin/env bash
# Builds everything and runs every test under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
# The layout is clang-format's: a difference fails the run before anything is built.
find src host tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
bash scripts/build.sh
source scripts/wine-session.sh
start_wine_session --display
ctest --preset release "$@"
