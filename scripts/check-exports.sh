#!/usr/bin/env bash
# Checks that a Windows build of the driver exports exactly the names of its
# module-definition file, undecorated (no leading underscore, no @n suffix).
set -euo pipefail
cd "$(dirname "$0")/.."

dll=${1:-build/win32/bin/ZavaDED.dll}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

expected=$(sed -n '/^EXPORTS/,$p' src/driver/ZavaDED.def | tail -n +2 | awk 'NF {print $1}' | sort)
actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
         sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)

if [ "$expected" != "$actual" ]; then
  echo "export table of $dll differs from src/driver/ZavaDED.def:" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
echo "$dll exports exactly $(echo "$actual" | wc -l) undecorated names"
