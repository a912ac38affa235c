# Installation on Linux, as a library: the driver and its header, both ZUR
# libraries (the simulated one, which the driver uses by default, and the
# GigE Vision one), zgrab, gevcam, their manual pages and a pkg-config file,
# in the multiarch library folder (component runtime); the GTK dialog module
# in zavaded/ there, which the driver looks for (component gtk). Each ZUR
# library keeps its folder, zavaded/sim/ and zavaded/gige/ in the library
# folder; the driver loads the one that ZAVADED_ZUR or ZUR= in
# /etc/zavaded/zavaded.conf chooses (cmake/zavaded.conf; default sim).
set(ZAVADED_ZUR_DIR ${CMAKE_INSTALL_LIBDIR}/zavaded)
set(ZAVADED_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/zavaded)

install(TARGETS ZavaDED LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
install(FILES include/ZavaDED.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime)
install(TARGETS ZUR LIBRARY DESTINATION ${ZAVADED_ZUR_DIR}/sim COMPONENT runtime)
if(TARGET ZUR_gige)
  install(TARGETS ZUR_gige LIBRARY DESTINATION ${ZAVADED_ZUR_DIR}/gige COMPONENT runtime)
endif()
# zgrab finds the driver by its own path (tools/host); gevcam links nothing of ours.
set(ZAVADED_PROGRAMS zgrab)
if(TARGET gevcam)
  list(APPEND ZAVADED_PROGRAMS gevcam)
endif()
set_target_properties(${ZAVADED_PROGRAMS} PROPERTIES INSTALL_RPATH "")
install(TARGETS ${ZAVADED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# Manual pages and the changelog, compressed as Debian wants them: -n keeps
# the name and time out, so that two builds give the same bytes.
set(ZAVADED_COMPRESSED)
foreach(source IN ITEMS docs/man/zgrab.1 docs/man/gevcam.1 packaging/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${output}
                     COMMAND sh -c "gzip -9n -c '${PROJECT_SOURCE_DIR}/${source}' > '${output}'"
                     DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND ZAVADED_COMPRESSED ${output})
endforeach()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/compressed)
add_custom_target(zavaded_compressed_docs ALL DEPENDS ${ZAVADED_COMPRESSED})
foreach(page IN ITEMS zgrab gevcam)
  if(page IN_LIST ZAVADED_PROGRAMS)
    install(FILES ${PROJECT_BINARY_DIR}/compressed/${page}.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
  endif()
endforeach()

# The prefix is the one of the installation, written when it is made:
# /usr for the Debian package, DIR for cmake --install --prefix DIR. A tree
# unpacked elsewhere is reached with PKG_CONFIG_SYSROOT_DIR.
install(CODE "
  set(ZAVADED_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/zavaded.pc.in\" \"${PROJECT_BINARY_DIR}/zavaded.pc\" @ONLY)
" COMPONENT runtime)
install(FILES ${PROJECT_BINARY_DIR}/zavaded.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT runtime)
# The README for those who installed the package; the developer's stays in the tree.
install(FILES packaging/README.md docs/INTEGRATING.md packaging/debian/copyright
              ${PROJECT_BINARY_DIR}/compressed/changelog.gz
        DESTINATION ${ZAVADED_DOC_DIR} COMPONENT runtime)
install(FILES packaging/debian/zavaded.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME zavaded COMPONENT runtime)

if(TARGET ZavaDED-gtk)
  set_target_properties(ZavaDED-gtk PROPERTIES INSTALL_RPATH "")
  install(TARGETS ZavaDED-gtk LIBRARY DESTINATION ${ZAVADED_ZUR_DIR} COMPONENT gtk)
  install(FILES packaging/debian/copyright ${PROJECT_BINARY_DIR}/compressed/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zavaded-gtk COMPONENT gtk)
endif()

# The machine-wide choice of ZUR library, commented out: a conffile, so an
# upgrade keeps what the administrator chose.
install(FILES cmake/zavaded.conf DESTINATION /etc/zavaded COMPONENT runtime)
