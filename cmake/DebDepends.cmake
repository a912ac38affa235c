# Read by cpack (CPACK_PROJECT_CONFIG_FILE): the Debian packages' Depends,
# from dpkg-shlibdeps on the built files. Our own libraries are in the
# private folders and need no package.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

function(zavaded_shlibdeps files result)
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps)
  if(NOT work OR work STREQUAL "/shlibdeps")
    set(work ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps)
  endif()
  # dpkg-shlibdeps wants a source package's control file in its folder.
  file(WRITE ${work}/debian/control "Source: zavaded\n\nPackage: zavaded\nArchitecture: any\n")
  set(private)
  foreach(dir IN LISTS CPACK_ZAVADED_PRIVATE_DIRS)
    list(APPEND private -l${dir})
  endforeach()
  execute_process(COMMAND dpkg-shlibdeps -O ${private} ${files}
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-shlibdeps failed: ${errors}")
  endif()
  string(REGEX REPLACE "^shlibs:Depends=" "" out "${out}")
  string(STRIP "${out}" out)
  set(${result} "${out}" PARENT_SCOPE)
endfunction()

zavaded_shlibdeps("${CPACK_ZAVADED_RUNTIME_FILES}" CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS)
list(FIND CPACK_COMPONENTS_ALL gtk gtk_index)
if(gtk_index GREATER -1)
  # The module runs on the driver's sheet objects: only the same build fits.
  zavaded_shlibdeps("${CPACK_ZAVADED_GTK_FILES}" gtk_depends)
  set(CPACK_DEBIAN_GTK_PACKAGE_DEPENDS "zavaded (= ${CPACK_PACKAGE_VERSION}), ${gtk_depends}")
endif()
