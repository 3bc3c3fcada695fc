# One layer: a static library of the sources its folder lists, linking only
# the layers named below it, so that a call that runs upward leaves a symbol
# nothing below can give. The conduit's layers are rtl <- ui <- palm <-
# conduit <- app; the tools' code sits on them (tools/CMakeLists.txt).
#
# A layer sees the headers of its own folder and of the layers below it, and
# no others: it is compiled against an include root of its own
# (layers/include/LAYER in the build tree) that holds links to those folders
# alone, so that including a header of a layer above fails the build. What
# links a layer and is no layer itself (a program, a test) sees the whole
# tree.
#
# In the test build each layer is also linked on its own into a library that
# holds every one of its objects (tolvane_LAYER_alone, in bin/layers): a call
# upward from any unit, used by a program or not, fails the build there.
#
#   tolvane_layer(NAME [FOLDER path-from-the-top] SOURCES ... BELOW ...)
# FOLDER defaults to the folder of the CMakeLists.txt that makes the layer.
function(tolvane_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "SOURCES;BELOW")
  if(NOT arg_FOLDER)
    file(RELATIVE_PATH arg_FOLDER ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(target tolvane_${layer})
  add_library(${target} STATIC ${arg_SOURCES})
  target_compile_options(${target} PUBLIC ${TOLVANE_LAYER_FLAGS})
  target_link_libraries(${target} PUBLIC ${arg_BELOW})

  set(folders ${arg_FOLDER})
  foreach(below IN LISTS arg_BELOW)
    if(TARGET ${below})
      get_target_property(seen ${below} TOLVANE_LAYER_FOLDERS)
      if(seen)
        list(APPEND folders ${seen})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set_target_properties(${target} PROPERTIES TOLVANE_LAYER ON TOLVANE_LAYER_FOLDERS "${folders}")
  set(root ${CMAKE_BINARY_DIR}/layers/include/${layer})
  file(REMOVE_RECURSE ${root})
  foreach(folder IN LISTS folders)
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${root})
  target_include_directories(${target} INTERFACE
    $<$<NOT:$<BOOL:$<TARGET_PROPERTY:TOLVANE_LAYER>>>:${CMAKE_SOURCE_DIR}>)

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
