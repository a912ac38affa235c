#!/usr/bin/env bash
# Runs the tests of the built win64 and win32 flavours under Wine, the two side
# by side: their Wines have prefixes and servers of their own. Within each, the
# tests run one at a time, since programs overlapping in one Wine session can
# keep each other's output open; the programs, and the tests in each, run in
# random order. Needs a display (run it under xvfb-run).
# After the win32 suite, its lane runs the driver against the simulated
# ZUR.dll in each other form that is built (scripts/build.sh
# win32-stdcall-decorated / win32-stdcall-undecorated): win32's driver and
# test programs beside that form's ZUR.dll (and zavaded.conf), the host,
# camera, driver and stress programs, and check-zur-dll.sh on the DLL.
set -uo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export GTEST_SHUFFLE=${GTEST_SHUFFLE:-1}

# One form of ZUR.dll: the programs that use the driver's exports only.
form() {
  local form=$1 run=build/win32-$1/run status=0
  rm -rf "$run" && mkdir -p "$run"
  cp build/win32/bin/{host_tests,camera_tests,driver_tests,stress_host}.exe build/win32/bin/*.dll "$run/"
  cp build/win32-"$form"/bin/ZUR.dll "$run/"
  [ ! -f build/win32-"$form"/bin/zavaded.conf ] || cp build/win32-"$form"/bin/zavaded.conf "$run/"
  for program in "host_tests.exe --gtest_brief=1" "camera_tests.exe --gtest_brief=1" \
                 "driver_tests.exe --gtest_brief=1" \
                 "stress_host.exe --seeds 1,2,3,4,5,6 --calls 400 --seconds 6"; do
    echo "--- $form: $program"
    # shellcheck disable=SC2086 # the program's arguments
    # From their folder, as ctest runs them: the stress programs leave files
    # in the current folder.
    (cd "$run" && ZAVADED_TEST_ZUR_FORM=$form timeout 600 ../../../scripts/wine32.sh ./$program) ||
      status=1
  done
  echo "--- $form: check-zur-dll.sh"
  tests/scripts/check-zur-dll-test.sh "$run/ZUR.dll" "$form" "$run/zur_short.dll" || status=1
  return "$status"
}
win32_lane() {
  local status=0
  ctest --test-dir build/win32 --output-on-failure --schedule-random || status=1
  for form in stdcall-decorated stdcall-undecorated; do
    if [ -f "build/win32-$form/bin/ZUR.dll" ]; then
      form "$form" || { echo "--- $form: FAILED"; status=1; }
    fi
  done
  return "$status"
}

pids=()
ctest --test-dir build/win64 --output-on-failure --schedule-random >build/win64/ctest.log 2>&1 &
pids+=($!)
win32_lane >build/win32/ctest.log 2>&1 &
pids+=($!)
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
