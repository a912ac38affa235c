#!/usr/bin/env bash
# Unpacks the integrators' release package and checks it: exactly the files it
# promises, a 32-bit DLL that carries the project's version and no other
# version resource, the driver's banner of the same version, the seventeen
# undecorated exports, and a guide that names every export.
#   scripts/check-package.sh [ZavaDED-<version>-win32.zip]
set -euo pipefail
zip=${1:+$(realpath "$1")}
cd "$(dirname "$0")/.."
export LC_ALL=C
version=$(sed -n 's/^project(ZavaDED VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=ZavaDED-$version-win32
zip=${zip:-$(realpath "build/win32/$name.zip")}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

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
  "$name/ZavaDED.h" | sort)
if [ "$files" != "$expected" ]; then
  fail "holds other files than expected:"
  diff <(echo "$expected") <(echo "$files") >&2 || true
fi
echo "$files" | sed 's/^/  /'

cmp -s "$top/ZavaDED.h" include/ZavaDED.h || fail "ZavaDED.h is not include/ZavaDED.h"
cmp -s "$top/ZavaDED.def" src/driver/ZavaDED.def || fail "ZavaDED.def is not src/driver/ZavaDED.def"

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

if [ "$failures" -ne 0 ]; then
  echo "package $name.zip: $failures failed checks" >&2
  exit 1
fi
echo "package $name.zip: contents, version and exports as they should be"
