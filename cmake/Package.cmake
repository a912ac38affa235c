# The release package for integrators of the 32-bit driver: the DLL, its
# header, its module-definition file and the integrator's guide, in
# ZavaDED-<version>-win32.zip (scripts/package.sh).
install(TARGETS ZavaDED RUNTIME DESTINATION . COMPONENT driver
        ARCHIVE DESTINATION lib COMPONENT devel EXCLUDE_FROM_ALL)
install(FILES include/ZavaDED.h src/driver/ZavaDED.def docs/INTEGRATING.md
        DESTINATION . COMPONENT driver)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ZavaDED)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ZavaDED-${PROJECT_VERSION}-win32)
set(CPACK_COMPONENTS_ALL driver)
set(CPACK_STRIP_FILES ON)
include(CPack)
