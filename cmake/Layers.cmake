# The driver's layers, from the bottom: platform, log, params, camera, ui,
# driver. Each is a library of its own that links only the layers below it.
# A layer's include root is a folder of the build tree that holds one link,
# to the layer's own source folder, so a header of a higher layer is not on a
# lower layer's include path: a wrong-way include fails to build.
function(zavaded_layer target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC zavaded_options)
endfunction()
