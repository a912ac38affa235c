#!/usr/bin/env bash
# Unpacks the integrators' release package and checks it: exactly the files it
# promises, a 32-bit DLL that carries the project's version and no other
# version resource, the driver's banner of the same version, the seventeen
# undecorated exports, a guide that names every export, exactly the DLLs the
# DLL imports (ZUR.dll not among them: the driver loads it itself) and the ZUR
# functions the driver binds, the guide's section on matching ZUR.dll with
# its tool check-zur-dll.sh, which must read the simulated ZUR.dll rightly,
# and the guide's host example, compiled against the package and run under
# 32-bit Wine with the simulated ZUR.dll.
#   scripts/check-package.sh [ZavaDED-<version>-win32.zip]
set -euo pipefail
zip=${1:+$(realpath "$1")}
cd "$(dirname "$0")/.."
repo=$PWD
export LC_ALL=C
version=$(sed -n 's/^project(ZavaDED VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=ZavaDED-$version-win32
zip=${zip:-$(realpath "build/win32/$name.zip")}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
zur_dll=${ZUR_DLL:-build/win32/bin/ZUR.dll}

failures=0
fail() {
  echo "package: $*" >&2
  failures=$((failures + 1))
}

[ "${zip##*/}" = "$name.zip" ] || fail "named ${zip##*/}, not $name.zip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
top=$work/$name
files=$(cd "$work" && find . -type f | sed 's|^\./||' | sort)
expected=$(printf '%s\n' "$name/INTEGRATING.md" "$name/ZavaDED.def" "$name/ZavaDED.dll" \
  "$name/ZavaDED.h" "$name/check-zur-dll.sh" | sort)
if [ "$files" != "$expected" ]; then
  fail "holds other files than expected:"
  diff <(echo "$expected") <(echo "$files") >&2 || true
fi
echo "$files" | sed 's/^/  /'

cmp -s "$top/ZavaDED.h" include/ZavaDED.h || fail "ZavaDED.h is not include/ZavaDED.h"
cmp -s "$top/ZavaDED.def" src/driver/ZavaDED.def || fail "ZavaDED.def is not src/driver/ZavaDED.def"
cmp -s "$top/check-zur-dll.sh" scripts/check-zur-dll.sh ||
  fail "check-zur-dll.sh is not scripts/check-zur-dll.sh"
[ -x "$top/check-zur-dll.sh" ] || fail "check-zur-dll.sh is not executable"
grep -qx "## Matching the camera maker's ZUR.dll" "$top/INTEGRATING.md" ||
  fail "INTEGRATING.md has no section \"Matching the camera maker's ZUR.dll\""
grep -q 'check-zur-dll.sh ZUR.dll' "$top/INTEGRATING.md" || fail "INTEGRATING.md does not show check-zur-dll.sh"
if ! tool=$("$top/check-zur-dll.sh" "$zur_dll" 2>&1) ||
   ! grep -qx '__cdecl, undecorated names.' <<<"$tool"; then
  fail "check-zur-dll.sh does not read the simulated ZUR.dll as __cdecl, undecorated:"
  echo "$tool" >&2
fi

dll=$top/ZavaDED.dll
# Whole outputs, not pipes into grep -q, which would stop their writers.
header=$("$objdump" -f "$dll")
texts=$(strings -a "$dll")
wide_texts=$(strings -el "$dll")
grep -q 'file format pei-i386' <<<"$header" || fail "ZavaDED.dll is no 32-bit Windows DLL"
scripts/check-exports.sh "$dll" || failures=$((failures + 1))

# The fixed part of a version resource starts with the signature FEEF04BD;
# file and product version follow as two pairs of 32-bit words.
signatures=$(grep -obUaP '\xbd\x04\xef\xfe' "$dll" | cut -d: -f1 || true)
if [ "$(echo "$signatures" | grep -c .)" -ne 1 ]; then
  fail "ZavaDED.dll holds $(echo "$signatures" | grep -c .) version resources, not one:"
  grep -A1 -x 'FileDescription' <<<"$wide_texts" >&2 || true
else
  read -r file_ms file_ls product_ms product_ls < <(od -An -tu4 -j $((signatures + 8)) -N16 "$dll")
  dotted() { echo "$(($1 >> 16)).$(($1 & 0xffff)).$(($2 >> 16)).$(($2 & 0xffff))"; }
  for field in "file $(dotted "$file_ms" "$file_ls")" "product $(dotted "$product_ms" "$product_ls")"; do
    [ "${field#* }" = "$version" ] || fail "ZavaDED.dll's ${field% *} version is ${field#* }, not $version"
  done
  [ "$(grep -A1 -x 'FileVersion' <<<"$wide_texts" | tail -n 1)" = "$version" ] ||
    fail "ZavaDED.dll's FileVersion text is not $version"
  echo "ZavaDED.dll carries version $version"
fi
# initialize's banner names the version with commas.
grep -qx "${version//./,}" <<<"$texts" || fail "the driver's banner does not name version ${version//./,}"

for export in $(sed -n '/^EXPORTS/,$p' src/driver/ZavaDED.def | tail -n +2 | awk 'NF {print $1}'); do
  grep -qw "$export" "$top/INTEGRATING.md" || fail "INTEGRATING.md does not describe $export"
done

# The guide's list of what the DLL needs, against its import table: the DLLs
# as the table spells them, and every function taken from ZUR.dll.
imports=$("$objdump" -p "$dll" | sed -n '/The Import Tables/,/The Export Tables/p')
needs=$(sed -n '/^## What the driver needs beside it/,/^## /p' "$top/INTEGRATING.md")
compare_imports() {  # what, guide's list, DLL's list
  if [ "$2" != "$3" ]; then
    fail "INTEGRATING.md lists other $1 than ZavaDED.dll imports (< guide, > DLL):"
    diff <(echo "$2") <(echo "$3") >&2 || true
  fi
}
compare_imports DLLs "$(grep -oiE '`[A-Za-z0-9_]+\.dll`' <<<"$needs" | tr -d '`' | sort -u)" \
  "$(sed -n 's/^\s*DLL Name: //p' <<<"$imports" | sort -u)"
! grep -qi 'DLL Name: ZUR.dll' <<<"$imports" ||
  fail "ZavaDED.dll imports from ZUR.dll: a missing ZUR.dll would stop hosts from loading it"
compare_imports "ZUR functions" "$(grep -oE '`ZUR[A-Za-z0-9_]+`' <<<"$needs" | tr -d '`' | sort -u)" \
  "$(sed -n 's/^ *X([a-z0-9_]*, \(ZUR[A-Za-z]*\),.*/\1/p' src/platform/ZurLibrary.h | sort -u)"

# The guide's host example, built as the guide says and run against the
# package's DLL and the simulated cameras.
host=$work/host
mkdir "$host"
sed -n '/^<!-- host-example.c/,/^```$/p' "$top/INTEGRATING.md" | sed '1,2d;$d' >"$host/host.c"
cp "$top/ZavaDED.h" "$top/ZavaDED.def" "$top/ZavaDED.dll" "$host/"
if ! cp "$zur_dll" "$host/"; then
  fail "no simulated ZUR.dll to run the host example with (ZUR_DLL=$zur_dll)"
elif ! (cd "$host" && i686-w64-mingw32-dlltool -d ZavaDED.def -l libZavaDED.a &&
  i686-w64-mingw32-gcc -std=c99 -Wall -Wextra -Werror -I. host.c -L. -lZavaDED -o host.exe); then
  fail "the host example of INTEGRATING.md does not build"
elif ! (cd "$host" && timeout 300 "$repo/scripts/wine32.sh" host.exe >host.log 2>&1); then
  fail "the host example of INTEGRATING.md failed under 32-bit Wine:"
  cat "$host/host.log" >&2
else
  echo "the host example of INTEGRATING.md runs: $(grep -c 'rows read' "$host/host.log") images read"
fi

if [ "$failures" -ne 0 ]; then
  echo "package $name.zip: $failures failed checks" >&2
  exit 1
fi
echo "package $name.zip: contents, version, exports, imports and the host example as they should be"
