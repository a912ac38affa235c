#!/usr/bin/env bash
# Runs a 32-bit Windows program under Debian's 32-bit Wine, in a 32-bit Wine
# prefix of its own (the Linux side of that Wine runs under qemu-user; see
# scripts/setup.sh win32). For example:
#   scripts/wine32.sh build/win32/bin/camera_tests.exe --gtest_brief=1
set -euo pipefail
export WINEARCH=win32
export WINEPREFIX=${ZAVADED_WINE32_PREFIX:-$HOME/.wine-zavaded-win32}
export WINEDEBUG=${WINEDEBUG:--all}
# A fresh prefix would offer to install Mono and Gecko in a window.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine

# The first run makes the prefix, once, while runs started beside it wait.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
