#!/usr/bin/env bash
# Takes a screenshot of the configuration sheet for each camera family
# (standard, colour, H280) under Wine and Xvfb and saves it as
# docs/sheet-<family>.png. Needs: wine64, xvfb, xauth, imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Everything below runs on one virtual display of its own.
if [ -z "${SHEET_SCREENSHOT_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" env SHEET_SCREENSHOT_DISPLAY=1 "$0" "$@"
fi

JOBS=${JOBS:-2} scripts/build.sh win64 >/dev/null
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-/usr/lib/wine/wine64}
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p docs

# A Linux path as Wine's Z: drive shows it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

for family in standard color h280; do
  ready="$work/$family.ready"
  done_file="$work/$family.done"
  # A desktop of Wine's own: it draws the window frames, title bar included,
  # which no window manager does on a bare X server.
  "$wine" explorer "/desktop=sheet,1280x900" "$(windows_path "$root/build/win64/bin/sheet_snapshot.exe")" \
    "$family" "$(windows_path "$ready")" "$(windows_path "$done_file")" &
  pid=$!
  for _ in $(seq 1 1200); do
    [ -s "$ready" ] && break
    sleep 0.1
  done
  if [ ! -s "$ready" ]; then
    echo "the $family sheet did not come up" >&2
    exit 1
  fi
  read -r x y width height < "$ready"
  # The desktop fills the screen, so its coordinates are the screen's.
  import -window root -crop "${width}x${height}+${x}+${y}" +repage "docs/sheet-$family.png"
  touch "$done_file"
  wait "$pid" || true
  echo "docs/sheet-$family.png"
done
