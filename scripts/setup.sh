#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is
# not yet present, then the page's pinned bundler and the pinned browser driver
# of its tests from the npm registry. Does nothing (and touches no package list)
# when all is there.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"

# Direct3D 9 draws through Wine's OpenGL on Mesa's software renderer, under a
# virtual X display; stb writes and reads the pictures.
# clang and clang-tidy check the plug-in's sources beside the GCC build; the
# players' page is tested in Chromium and in Firefox ESR.
packages=(cmake ninja-build g++-mingw-w64-i686-posix wine wine32:i386 googletest e2fsprogs clang-format clang clang-tidy
  xvfb xauth libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libstb-dev chromium firefox-esr)
# Node.js packs the players' page and drives the browser; Debian's only where
# none is on the path, since another Node.js conflicts with Debian's npm.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root to install the missing packages" >&2
    exit 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The page's bundler and the page tests' driver and accessibility checker, each
# exactly as its lock file pins it; the driver drives Debian's Chromium and
# Firefox ESR, so no browser is downloaded.
install_pinned() {
  if [ ! "$1/node_modules/.package-lock.json" -nt "$1/package-lock.json" ]; then
    echo "setup: installing $2" >&2
    (cd "$1" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
}
# Both at once: each mostly waits on the registry.
install_pinned "$ROOT/page" "the page's bundler" &
bundler=$!
install_pinned "$ROOT/tests/page" "the page tests' browser driver and axe-core"
wait "$bundler"
