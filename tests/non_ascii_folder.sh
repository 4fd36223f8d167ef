#!/usr/bin/env bash
# non_ascii_folder.sh <scratch folder> <first start's INI> <stand-in host> <page_reference> <emulator>...
# A player's folder may be named in any script. Both programs of the project that
# take a path are given one in a folder named in accented Latin and in Cyrillic
# letters, and must write there the INI of a first start, byte for byte the
# build's. The caller's locale is C, as in a shell that has none: the command
# that starts Wine must bring the UTF-8 locale in which Wine reads the path.
set -euo pipefail
scratch="$1"
expected="$2"
host="$3"
reference="$4"
shift 4
export LC_ALL=C
folder="$scratch/Téléchargements/Загрузки"
rm -rf "$scratch"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$folder"
"$@" "$host" --first-start-ini "Z:$folder/Vorlaine.Crimsel.ini"
cmp "$expected" "$folder/Vorlaine.Crimsel.ini"
"$@" "$reference" template "Z:$folder/template.ini"
cmp "$expected" "$folder/template.ini"
echo "the first start's INI written by crimsel_host and page_reference in $folder"
