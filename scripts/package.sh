#!/usr/bin/env bash
# Builds the release packages (see cmake/Package.cmake) and prints their paths,
# one per line:
#   build/win32/ZavaDED-<version>-win32.zip  for integrators of the 32-bit
#       driver: ZavaDED.dll, ZavaDED.h, ZavaDED.def, docs/INTEGRATING.md and
#       scripts/check-zur-dll.sh
#       (scripts/check-package.sh checks it);
#   build/native/zavaded_<version>_<architecture>.deb  the Linux build as a
#       Debian package: the driver and its header, both ZUR libraries, zgrab,
#       gevcam and a pkg-config file, headless;
#   build/native/zavaded-gtk_<version>_<architecture>.deb  its configuration
#       dialog, a module the driver loads (scripts/check-deb.sh checks both).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
scripts/build.sh win32 >/dev/null
(cd build/win32 && cpack -G ZIP >/dev/null)
name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' build/win32/CPackConfig.cmake)
echo "build/win32/$name.zip"

scripts/build.sh native >/dev/null
(cd build/native && cpack -G DEB >/dev/null)
version=$(sed -n 's/^project(ZavaDED VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
echo "build/native/zavaded_${version}_$(dpkg --print-architecture).deb"
echo "build/native/zavaded-gtk_${version}_$(dpkg --print-architecture).deb"
