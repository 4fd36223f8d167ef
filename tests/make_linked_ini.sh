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
  deep="$(printf 'd%.0s' {1..200})/$(printf 'e%.0s' {1..100})"
  mkdir -p "$folder/deep-game" "$folder/$deep"
  : > "$folder/$deep/shared.ini"
  ln -s "../$deep/shared.ini" "$folder/deep-game/Vorlaine.Crimsel.ini"
fi
