#!/usr/bin/env bash
# Runs the tests of the built win64 and win32 flavours under Wine, the two side
# by side: their Wines have prefixes and servers of their own. Within each, the
# tests run one at a time, since programs overlapping in one Wine session can
# keep each other's output open; the programs, and the tests in each, run in
# random order. Needs a display (run it under xvfb-run).
set -uo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export GTEST_SHUFFLE=${GTEST_SHUFFLE:-1}

pids=()
for flavour in win64 win32; do
  ctest --test-dir "build/$flavour" --output-on-failure --schedule-random >"build/$flavour/ctest.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in 0 1; do
  flavour=$([ "$i" -eq 0 ] && echo win64 || echo win32)
  if ! wait "${pids[$i]}"; then
    failed=1
  fi
  printf '\n--- %s ---\n' "$flavour"
  cat "build/$flavour/ctest.log"
done
exit "$failed"
