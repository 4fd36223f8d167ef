#!/usr/bin/env bash
# The .asi must import only Windows system DLLs and export InitializeASI alone,
# undecorated, at ordinal 1.
set -euo pipefail
dump=$(i686-w64-mingw32-objdump -p "$1")

imports=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print $3}' | sort | tr '\n' ' ')
if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
  echo "unexpected imports: $imports"
  exit 1
fi

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | tail -n +2 | sed '/^$/d')
if [ "$(wc -l <<<"$exports")" -ne 1 ] || ! grep -Eq '^\s*\[\s*0\] InitializeASI$' <<<"$exports"; then
  echo "unexpected exports: $exports"
  exit 1
fi
if ! grep -Eq '^Ordinal Base\s+1$' <<<"$dump"; then
  echo "ordinal base is not 1"
  exit 1
fi
echo "imports: $imports; export: InitializeASI @1"
