#!/usr/bin/env bash
# A second compiler and a static analyser over the plug-in's sources. clang,
# for the plug-in's own target and with MinGW-w64's C++ headers from the GCC
# cross compiler, compiles every source with the project's warnings as errors
# (a check only: the .asi that ships is GCC's); clang-tidy runs the checks of
# .clang-tidy. A finding of either fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx_headers=()
while read -r folder; do
  cxx_headers+=(-isystem "$folder")
done < <(echo | i686-w64-mingw32-g++-posix -E -x c++ - -v 2>&1 |
  sed -n '/search starts here:/,/End of search list/p' | sed -n 's|^ *\(.*/include/c++.*\)$|\1|p')
flags=(--target=i686-w64-mingw32 -std=c++17 -nostdinc++ "${cxx_headers[@]}" -Isrc
  -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601)
warnings=(-Wall -Wextra -Wpedantic -Wshadow -Werror)

for source in src/*/*.cpp; do
  clang++ "${flags[@]}" "${warnings[@]}" -fsyntax-only "$source"
done
for source in src/*/*.S; do
  clang --target=i686-w64-mingw32 -Isrc "${warnings[@]}" -c "$source" -o /dev/null
done
echo "clang: every source of the plug-in compiles without a warning"

report="$(mktemp)"
trap 'rm -f "$report"' EXIT
if ! find src -name '*.cpp' -print0 | xargs -0 -P2 -I{} clang-tidy --quiet {} -- "${flags[@]}" >"$report" 2>&1; then
  grep -v 'warnings generated\.$' "$report" >&2
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: no finding"
