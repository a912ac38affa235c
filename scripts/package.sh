#!/usr/bin/env bash
# Builds the release package for integrators of the 32-bit driver:
# build/win32/ZavaDED-<version>-win32.zip with ZavaDED.dll, ZavaDED.h,
# ZavaDED.def and docs/INTEGRATING.md (see cmake/Package.cmake).
# scripts/check-package.sh checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
scripts/build.sh win32 >/dev/null
cd build/win32
cpack -G ZIP >/dev/null
name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' CPackConfig.cmake)
echo "build/win32/$name.zip"
