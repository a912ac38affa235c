#!/usr/bin/env bash
# Runs flavours' test suites over and over in random order, several tests at
# once, to find tests that fail now and then: a test that fails one run in
# fifty fails CI at random. Run it before landing a change to threaded code.
#   scripts/check-stable.sh [N] [FLAVOUR...]
# N (default 20) is how often each test runs (CTest's --repeat until-fail);
# FLAVOUR (default native) is a built flavour under build/. JOBS (default
# twice the cores) tests run at once, so that each shares the machine with
# others as in CI. The GTK dialog's tests need a display: without one, the
# run goes through xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=20
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  runs=$1
  shift
fi
[ $# -gt 0 ] || set -- native
jobs=${JOBS:-$(($(nproc) * 2))}
display=()
[ -n "${DISPLAY:-}" ] || display=(xvfb-run -a)

status=0
for flavour in "$@"; do
  [ -f "build/$flavour/CTestTestfile.cmake" ] ||
    { echo "check-stable: build/$flavour is not built (scripts/build.sh $flavour)" >&2; exit 2; }
  printf '=== %s: every test %d times, random order, %d at once ===\n' "$flavour" "$runs" "$jobs"
  if ! "${display[@]}" ctest --test-dir "build/$flavour" --output-on-failure --schedule-random \
      --repeat "until-fail:$runs" -j"$jobs"; then
    status=1
  fi
done
exit "$status"
