#!/usr/bin/env bash
# make_unwritable_folder.sh set-up|clean-up <folder> <plug-in>
# A game folder holding the plug-in that nobody, root included, can write into.
set -euo pipefail
folder="$2"
if [ -d "$folder" ]; then
  chattr -i "$folder" 2>/dev/null || true
  rm -rf "$folder"
fi
if [ "$1" = set-up ]; then
  mkdir -p "$folder"
  cp "$3" "$folder/"
  chattr +i "$folder"
fi
