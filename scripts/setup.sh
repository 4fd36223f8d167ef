#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is
# not yet present. Does nothing (and touches no package list) when all is there.
set -euo pipefail

# Direct3D 9 draws through Wine's OpenGL on Mesa's software renderer, under a
# virtual X display; stb writes and reads the pictures.
packages=(cmake ninja-build g++-mingw-w64-i686-posix wine wine32:i386 googletest e2fsprogs clang-format
  xvfb xauth libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libstb-dev)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

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
