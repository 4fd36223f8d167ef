#!/usr/bin/env bash
# Checks the formatting and the page's types and lint, builds everything and
# runs every test under Wine and the page's in Chromium and Firefox ESR, while
# clang and clang-tidy check the plug-in's sources.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
# The second compiler and the static analyser run beside everything else, the
# tests too, and are waited for at the end: they need only the sources. What
# they say waits in the build folder, not the temp folder, where a failed run
# would have left it.
mkdir -p "$BUILD_DIR"
analysis="$BUILD_DIR/analysis.log"
bash scripts/analyse.sh >"$analysis" 2>&1 &
analyser=$!
analysed() {
  if ! wait "$analyser"; then
    cat "$analysis" >&2
    return 1
  fi
  cat "$analysis"
}
trap 'kill "$analyser" 2>/dev/null || true' EXIT
# The layout is clang-format's: a difference fails the run before anything is built.
find src host tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
# The page's modules and their tests: TypeScript's checker (strict, over their
# JSDoc types) and ESLint's recommended rules.
page/node_modules/.bin/tsc -p page
page/node_modules/.bin/eslint --config page/eslint.config.js page tests/page
bash scripts/build.sh
source scripts/wine-session.sh
start_wine_session --display
tested=0
ctest --preset release "$@" || tested=$?
analysed
exit "$tested"
