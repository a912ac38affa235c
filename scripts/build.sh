#!/usr/bin/env bash
# Configures and builds one flavour of the project into build/<flavour>.
#   native  Linux, optimised, with line tables (the daily loop)
#   asan    Linux with AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan    Linux with ThreadSanitizer
#   win64   Windows x86-64 (mingw-w64); its tests run under Wine
#   win32   Windows i686 (mingw-w64), the driver's real target; its tests run
#           under 32-bit Wine
#   win32-stdcall-decorated, win32-stdcall-undecorated
#           win32 with the simulated ZUR.dll in another form (__stdcall,
#           exported as _ZUROpen@12 or as ZUROpen); only ZUR.dll is built,
#           the driver and the test programs are win32's
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:?usage: scripts/build.sh native|asan|tsan|win64|win32|win32-stdcall-(un)decorated [extra cmake options]}
shift
jobs=${JOBS:-$(nproc)}
common=(-DZAVADED_WERROR=ON)
# A developer's machine with ccache rebuilds other checkouts' and earlier
# builds' objects from its cache; CI installs none and builds as before.
if command -v ccache >/dev/null && [ -z "${ZAVADED_NO_CCACHE:-}" ]; then
  common+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Line tables are all that sanitizer reports and addr2line need, and they
# build about a third faster than full debug information.
lines_only=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")

case "$flavour" in
  native) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "${lines_only[@]}") ;;
  asan) options=(-DCMAKE_BUILD_TYPE=Debug -DZAVADED_SANITIZE=address,undefined
                 -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1) ;;
  tsan) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAVADED_SANITIZE=thread "${lines_only[@]}") ;;
  win64) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
                  "${lines_only[@]}") ;;
  win32) options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake) ;;
  # The simulated ZUR.dll in the other forms a camera maker's may take, with
  # the programs that test the driver against it.
  win32-stdcall-decorated|win32-stdcall-undecorated)
    options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
             -DZAVADED_ZUR_FORM="${flavour#win32-}")
    TARGETS=${TARGETS:-ZUR} ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake --no-warn-unused-cli -S . -B "build/$flavour" "${common[@]}" "${options[@]}" "$@" >/dev/null
# TARGETS (optional): build only these targets and what they need.
cmake --build "build/$flavour" -j"$jobs" ${TARGETS:+--target $TARGETS}
