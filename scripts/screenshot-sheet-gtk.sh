#!/usr/bin/env bash
# Takes a picture of the GTK configuration dialog of the native build for
# each camera family (standard, colour, H280), framed by a window manager on
# a virtual display, and saves it as docs/sheet-gtk-<family>.png.
# Needs: xvfb, xauth, openbox, libgtk-3-dev.
set -euo pipefail
cd "$(dirname "$0")/.."

# Everything below runs on one virtual display of its own.
if [ -z "${SHEET_SCREENSHOT_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" env SHEET_SCREENSHOT_DISPLAY=1 "$0" "$@"
fi

JOBS=${JOBS:-2} scripts/build.sh native >/dev/null
openbox &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
mkdir -p docs

for family in standard color h280; do
  build/native/bin/sheet_snapshot_gtk "$family" "docs/sheet-gtk-$family.png"
  echo "docs/sheet-gtk-$family.png"
done
