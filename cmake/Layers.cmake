# One layer of the conduit: a static library of the sources its folder lists,
# linking only the layers named below it, so that a call that runs upward
# leaves a symbol nothing below can give.
#
# In the test build each layer is also linked on its own into a library that
# holds every one of its objects (tolvane_LAYER_alone, in bin/layers): a call
# upward from any unit, used by the conduit or not, fails the build there.
function(tolvane_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;BELOW")
  set(target tolvane_${layer})
  add_library(${target} STATIC ${arg_SOURCES})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PUBLIC ${TOLVANE_LAYER_FLAGS})
  target_link_libraries(${target} PUBLIC ${arg_BELOW})
  if(TOLVANE_SHIP)
    return()
  endif()
  set(empty ${CMAKE_BINARY_DIR}/layers/alone.cpp)
  if(NOT EXISTS ${empty})
    file(WRITE ${empty} "// Nothing of its own: the layer's objects make the library.\n")
  endif()
  add_library(${target}_alone SHARED ${empty})
  set_target_properties(${target}_alone PROPERTIES PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/layers)
  target_link_options(${target}_alone PRIVATE ${TOLVANE_STATIC_LINK})
  target_link_libraries(${target}_alone PRIVATE
    "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>" ${arg_BELOW})
endfunction()
