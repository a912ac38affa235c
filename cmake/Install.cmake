# Installation on Linux, as a library: the driver and its header, both ZUR
# libraries (the simulated one, which the driver uses by default, and the
# GigE Vision one), zgrab, gevcam and a pkg-config file. Each ZUR library
# keeps its folder, zavaded/sim/ and zavaded/gige/ in the library folder;
# the driver loads the one that ZAVADED_ZUR or ZUR= in
# /etc/zavaded/zavaded.conf chooses (cmake/zavaded.conf; default sim).
set(ZAVADED_ZUR_DIR ${CMAKE_INSTALL_LIBDIR}/zavaded)

install(TARGETS ZavaDED LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
install(FILES include/ZavaDED.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime)
install(TARGETS ZUR LIBRARY DESTINATION ${ZAVADED_ZUR_DIR}/sim COMPONENT runtime)
if(TARGET ZUR_gige)
  install(TARGETS ZUR_gige LIBRARY DESTINATION ${ZAVADED_ZUR_DIR}/gige COMPONENT runtime)
endif()
install(TARGETS zgrab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
if(TARGET gevcam)
  install(TARGETS gevcam RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

# Relative to its own folder, so that the file holds wherever the tree is
# installed (cmake --install --prefix, or /usr by the Debian package).
file(RELATIVE_PATH ZAVADED_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/zavaded.pc.in ${PROJECT_BINARY_DIR}/zavaded.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zavaded.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT runtime)
install(FILES README.md docs/INTEGRATING.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zavaded
        COMPONENT runtime)
