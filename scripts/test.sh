#!/usr/bin/env bash
# Builds every flavour and runs every test: the command CI runs. Installs what
# is missing first (scripts/setup.sh). Prints the time of each stage at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=${WINEDEBUG:--all}
# A fresh Wine prefix would offer to install Mono and Gecko in a window; the
# tests need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
jobs=${JOBS:-$(nproc)}

# One step per stage; each stage's time is kept for the summary.
stage="" stage_start=0 times=()
end_stage() {
  [ -n "$stage" ] || return 0
  times+=("$(awk -v s="$stage_start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%7.1f s", e - s }')  $stage")
  stage=""
}
step() {
  end_stage
  printf '\n=== %s ===\n' "$*"
  stage=$* stage_start=$EPOCHREALTIME
}
summary() {
  local status=$?
  [ -z "$stage" ] || [ "$status" -eq 0 ] || stage="$stage (FAILED)"
  end_stage
  printf '\n=== time per stage ===\n'
  printf '%s\n' "${times[@]}"
  awk -v s="$test_start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%7.1f s  in all\n", e - s }'
}
test_start=$EPOCHREALTIME
trap summary EXIT

step "set-up: install what is missing"
scripts/setup.sh test

step "format"
scripts/check-format.sh

for flavour in native asan tsan; do
  step "$flavour: build and test"
  scripts/build.sh "$flavour"
  # The GTK dialog's tests open real windows: they need a display.
  # In random order: a test that needs another to run first is found here.
  xvfb-run -a ctest --test-dir "build/$flavour" --output-on-failure --schedule-random -j"$jobs"
done

step "thread safety: clang's analysis of the driver's locking rules"
scripts/check-thread-safety.sh build/native

step "gevcam: Aravis against the served cameras, in a private network namespace"
scripts/check-gevcam.sh build/native

step "gige: zgrab over GigE Vision against gevcam, image for image the simulated library's"
scripts/check-gige.sh

step "win64 and win32: build; check the win32 export table"
scripts/build.sh win64
scripts/build.sh win32
# The simulated ZUR.dll in its two other forms; the rest is win32's.
scripts/build.sh win32-stdcall-decorated
scripts/build.sh win32-stdcall-undecorated
scripts/check-exports.sh build/win32/bin/ZavaDED.dll

step "win64 and win32: test under Wine and 32-bit Wine, side by side"
# The configuration sheet's tests open real windows: Wine needs a display.
xvfb-run -a scripts/test-windows.sh

step "pixels: native, win64 and win32 zgrab alike"
scripts/check-pixels.sh

step "package: build and check the win32 release and the Debian package"
packages=$(scripts/package.sh)
scripts/check-package.sh "$(sed -n 1p <<<"$packages")"
scripts/check-deb.sh "$(sed -n 2p <<<"$packages")"

step "fuzz the INI reader and gevcam's command handler"
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

end_stage
printf '\n=== all tests passed ===\n'
