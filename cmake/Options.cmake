# Compiler warnings, sanitizers and Windows runtime linkage, applied through
# the interface target zavaded_options that every target of ours links.
add_library(zavaded_options INTERFACE)
target_compile_options(zavaded_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wformat=2
  -Wold-style-cast -Wcast-align
  $<$<BOOL:${ZAVADED_WERROR}>:-Werror>)

if(ZAVADED_SANITIZE)
  target_compile_options(zavaded_options INTERFACE
    -fsanitize=${ZAVADED_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(zavaded_options INTERFACE -fsanitize=${ZAVADED_SANITIZE})
endif()

if(WIN32)
  # Self-contained binaries: no libstdc++, libgcc or winpthread DLLs to ship.
  # -static takes only the winpthread objects in use; the whole archive would
  # also bring winpthread's version resource beside the driver's own.
  target_link_options(zavaded_options INTERFACE -static)
  target_compile_definitions(zavaded_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601)
endif()

# GCC 12 reports std::string copies at -O2 as overlapping or uninitialised
# (GCC bugs 105329, 105651, 107138): false positives that would fail -Werror.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(zavaded_options INTERFACE -Wno-restrict -Wno-maybe-uninitialized)
endif()
