# Release packages (scripts/package.sh).
#
# Windows i686: the package for integrators of the 32-bit driver, the DLL,
# its header, its module-definition file, the integrator's guide and the
# tool that reads a camera maker's ZUR.dll (scripts/check-zur-dll.sh), in
# ZavaDED-<version>-win32.zip.
#
# Linux: a Debian package of what cmake --install installs (cmake/Install.cmake),
# zavaded_<version>_<architecture>.deb, its dependencies found by
# dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME ZavaDED)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  install(TARGETS ZavaDED RUNTIME DESTINATION . COMPONENT driver
          ARCHIVE DESTINATION lib COMPONENT devel EXCLUDE_FROM_ALL)
  install(FILES include/ZavaDED.h src/driver/ZavaDED.def docs/INTEGRATING.md
          DESTINATION . COMPONENT driver)
  install(PROGRAMS scripts/check-zur-dll.sh DESTINATION . COMPONENT driver)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ZavaDED-${PROJECT_VERSION}-win32)
  set(CPACK_COMPONENTS_ALL driver)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME zavaded)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZavaDED maintainers")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "CVL camera driver for Zaze XCG GigE cameras, with simulated and GigE Vision ZUR libraries")
  set(CPACK_PACKAGE_DESCRIPTION
      "libZavaDED.so, the CVL driver module that machine-vision hosts load, with two ZUR\n libraries: simulated cameras (the default) and real GigE Vision cameras through Aravis;\n zgrab, a host that grabs images, and gevcam, simulated cameras served over GigE Vision.")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The libraries are ours; dpkg-shlibdeps must not look for packages of them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
      ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/bin/gige)
  set(CPACK_COMPONENTS_ALL runtime)
  set(CPACK_DEB_COMPONENT_INSTALL OFF)
endif()
include(CPack)
