# Natively the system GoogleTest; for the Windows cross builds its sources.
include(GoogleTest)
if(CMAKE_CROSSCOMPILING)
  set(ZAVADED_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ZAVADED_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# One CTest entry per test case natively; under Wine, where every start costs,
# one entry per test program. An optional second argument is one environment
# setting ("NAME=value") for the tests.
function(zavaded_add_gtest target)
  set(environment ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    # Wine under qemu starts slowly, but no program may hang the run.
    set_tests_properties(${target} PROPERTIES TIMEOUT 600)
    if(environment)
      set_tests_properties(${target} PROPERTIES ENVIRONMENT "${environment}")
    endif()
  elseif(environment)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 120 ENVIRONMENT "${environment}")
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
