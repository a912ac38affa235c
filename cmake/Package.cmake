# Release packages (scripts/package.sh).
#
# Windows i686: the package for integrators of the 32-bit driver, the DLL,
# its header, its module-definition file, the integrator's guide and the
# tool that reads a camera maker's ZUR.dll (scripts/check-zur-dll.sh), in
# ZavaDED-<version>-win32.zip.
#
# Linux: Debian packages of what cmake --install installs (cmake/Install.cmake),
# zavaded_<version>_<architecture>.deb and zavaded-gtk_<version>_<architecture>.deb,
# their dependencies found by dpkg-shlibdeps, clean by lintian
# (scripts/check-deb.sh).
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
  # Two packages: zavaded, the headless core, and zavaded-gtk, the dialog
  # module, which the core suggests (apt installs recommended packages by
  # default, and GTK would bring X11 with it).
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(ZAVADED_DEB_MAINTAINER "ZavaDED maintainers <zavaded@zaze.example>"
      CACHE STRING "Maintainer of the Debian packages, as in packaging/debian/changelog")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZAVADED_DEB_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Each package's first description line is its synopsis (no shared
  # CPACK_PACKAGE_DESCRIPTION_SUMMARY, which CPack would put above both).
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME zavaded)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "CVL camera driver for Zaze XCG GigE cameras
libZavaDED.so is the CVL driver module that machine-vision hosts load, with
two ZUR libraries: simulated cameras (the default) and real GigE Vision
cameras through Aravis. zgrab grabs images through the driver; gevcam serves
the simulated cameras over GigE Vision on loopback addresses. The
configuration dialog is in the package zavaded-gtk.")
  # ip brings up loopback in the network namespace of gevcam's recipe.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS iproute2)
  # The ldconfig trigger rather than maintainer scripts; the file in /etc is
  # the one configuration file.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers
                                                 ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  if(TARGET ZavaDED-gtk)
    list(APPEND CPACK_COMPONENTS_ALL gtk)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS zavaded-gtk)
    set(CPACK_DEBIAN_GTK_PACKAGE_NAME zavaded-gtk)
    set(CPACK_DEBIAN_GTK_PACKAGE_SECTION libs)
    set(CPACK_DEBIAN_GTK_DESCRIPTION "configuration dialog of the ZavaDED camera driver (GTK 3)
The dialog that configureCamera shows, a module that libZavaDED.so loads
when a host asks for it and a display is there. Without this package,
configureCamera logs that the dialog is not installed and returns 0.")
  endif()
  # Dependencies from dpkg-shlibdeps on the built files (cmake/DebDepends.cmake):
  # CPack's own run would make it write ldconfig calls into maintainer
  # scripts beside the trigger.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/DebDepends.cmake)
  set(CPACK_ZAVADED_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/bin/gige)
  # The built files as they lie in the build tree (CPackConfig.cmake takes no
  # generator expressions).
  set(bin ${CMAKE_BINARY_DIR}/bin)
  set(CPACK_ZAVADED_RUNTIME_FILES ${bin}/libZavaDED.so ${bin}/libZUR.so ${bin}/zgrab)
  if(TARGET ZUR_gige)
    list(APPEND CPACK_ZAVADED_RUNTIME_FILES ${bin}/gige/libZUR.so)
  endif()
  if(TARGET gevcam)
    list(APPEND CPACK_ZAVADED_RUNTIME_FILES ${bin}/gevcam)
  endif()
  set(CPACK_ZAVADED_GTK_FILES ${bin}/libZavaDED-gtk.so)
endif()
include(CPack)
