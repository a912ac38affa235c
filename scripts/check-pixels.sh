#!/usr/bin/env bash
# Grabs the same frames from the same simulated cameras with the native zgrab
# and with zgrab.exe of both Windows builds (under Wine), and requires the
# same pixels from all three: the builds differ in compiler, word size and C
# runtime, not in what a host receives. Needs build/native, build/win64 and
# build/win32.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
frames=${FRAMES:-4}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The default cameras, and more colour cameras so that every Bayer order is
# converted; fast, so that no run waits for a camera's frame rate.
cat >"$work/cameras.ini" <<'INI'
[camera 1]
model=XCG-U100E
id=4660
fast=1
[camera 2]
model=XCG-5005CR
id=4661
fast=1
[camera 3]
model=XCG-H280E
id=4662
fast=1
[camera 4]
model=XCG-V60E
id=100
fast=1
INI
for filter in 1 2 3; do
  printf '[camera %d]\nmodel=XCG-U100CR\nid=%d\nwidth=640\nheight=480\ncolorFilter=%d\nfast=1\n' \
    $((4 + filter)) $((200 + filter)) "$filter" >>"$work/cameras.ini"
done
cameras=7

# A Linux path as Wine's Z: drive shows it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

grab() {
  local name=$1 config=$2
  shift 2
  mkdir "$work/$name"
  (cd "$work/$name" && ZUR_SIM_CONFIG=$config "$@" --frames "$frames" --format pnm \
    --output images --system-path data >log.txt 2>&1) || {
    echo "zgrab ($name) failed:" >&2
    cat "$work/$name/log.txt" >&2
    exit 1
  }
  echo "$name: $(ls "$work/$name/images" | wc -l) images"
}

grab native "$work/cameras.ini" "$root/build/native/bin/zgrab"
grab win64 "$(windows_path "$work/cameras.ini")" "${WINE64:-/usr/lib/wine/wine64}" \
  "$root/build/win64/bin/zgrab.exe"
grab win32 "$(windows_path "$work/cameras.ini")" "$root/scripts/wine32.sh" "$root/build/win32/bin/zgrab.exe"

count=$(ls "$work/native/images" | wc -l)
if [ "$count" -ne "$cameras" ]; then
  echo "native zgrab wrote $count images, not $cameras" >&2
  exit 1
fi
failed=0
for build in win64 win32; do
  if ! diff <(ls "$work/native/images") <(ls "$work/$build/images") >/dev/null; then
    echo "$build wrote other files than native:" >&2
    diff <(ls "$work/native/images") <(ls "$work/$build/images") >&2 || true
    failed=1
    continue
  fi
  for image in "$work/native/images"/*; do
    if ! cmp -s "$image" "$work/$build/images/${image##*/}"; then
      echo "$build: ${image##*/} differs from the native image" >&2
      failed=1
    fi
  done
done
[ "$failed" = 0 ] || exit 1
echo "the same pixels from native, win64 and win32 zgrab: $cameras cameras, frame $frames of each"
