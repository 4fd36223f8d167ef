#!/usr/bin/env bash
# make_linked_ini.sh set-up|clean-up <folder>
# An INI that is a symbolic link, as players keep one configuration for several
# installs: <folder>/game/Vorlaine.Crimsel.ini -> ../shared/shared.ini.
set -euo pipefail
folder="$2"
rm -rf "$folder"
if [ "$1" = set-up ]; then
  mkdir -p "$folder/game" "$folder/shared"
  : > "$folder/shared/shared.ini"
  ln -s ../shared/shared.ini "$folder/game/Vorlaine.Crimsel.ini"
fi
