#!/usr/bin/env bash
# Builds the plug-in and the release zip, then runs the real .asi in the stand-in
# host through a scripted game session and prints the report, then starts it in
# another build of the game, where it must write nothing, and beside another
# plug-in that got to two of its windows first, and draws the README's pictures
# into docs/pictures with Direct3D 9 on a virtual display of its own, and a
# picture of the players' page in headless Chromium. "--defaults" starts
# the session without the scene's INI, as a player's first start would.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh >/dev/null
source scripts/wine-session.sh
start_wine_session --display
cmake --build --preset release --target dist >/dev/null
wine "$BUILD_DIR/bin/crimsel_host.exe" "$@" | tr -d '\r'
echo
wine "$BUILD_DIR/bin/crimsel_host.exe" --another-build | tr -d '\r'
echo
wine "$BUILD_DIR/bin/crimsel_host.exe" --another-plugin | tr -d '\r'
echo
wine "$BUILD_DIR/bin/crimsel_host.exe" --pictures "Z:$ROOT/docs/pictures" | tr -d '\r'
node tests/page/Screenshot.mjs "$BUILD_DIR/page/Vorlaine.Crimsel.html" "$ROOT/docs/pictures/page.png" \
  "$BUILD_DIR/bin/games/scene/Crimsel.log" "$ROOT/docs/pictures/page-log.png" "$ROOT/docs/pictures/page-dark.png" \
  "$ROOT/docs/pictures/page-phone.png"
echo "page.png: the players' page (Vorlaine.Crimsel.html in the release) at the default colours"
echo "page-log.png: its log part on the scene's Crimsel.log (its time stamps a fixed sequence, so that the"
echo "  picture is the same from run to run), a cell of the first block chosen"
echo "page-dark.png: the same log part with the system set to dark"
echo "page-phone.png: the top of the page in a phone's window, 390 pixels wide"
echo
echo "Pictures: $ROOT/docs/pictures"
echo "Release: $ROOT/dist/Vorlaine.Crimsel.zip"
