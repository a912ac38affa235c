#!/usr/bin/env bash
# Builds every flavour and runs every test: the command CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=${WINEDEBUG:--all}
# A fresh Wine prefix would offer to install Mono and Gecko in a window; the
# tests need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
jobs=${JOBS:-$(nproc)}

step() { printf '\n=== %s ===\n' "$*"; }

step "format"
scripts/check-format.sh

for flavour in native asan tsan; do
  step "$flavour: build and test"
  scripts/build.sh "$flavour"
  # The GTK dialog's tests open real windows: they need a display.
  xvfb-run -a ctest --test-dir "build/$flavour" --output-on-failure -j"$jobs"
done

step "win64: build and test under Wine"
scripts/build.sh win64
# The configuration sheet's tests open real windows: Wine needs a display.
xvfb-run -a ctest --test-dir build/win64 --output-on-failure

step "win32: build and check the export table"
scripts/build.sh win32
scripts/check-exports.sh build/win32/bin/ZavaDED.dll

step "fuzz the INI reader"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

step "all tests passed"
