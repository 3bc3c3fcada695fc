# How the shipped files are built, and the resources every shipped program
# carries.
#
# Shipped code is optimised, guards its stack frames and holds no path of the
# build machine; the shipped programs are stripped, carry no link time, ask
# for ASLR and DEP, declare that they register no SEH handler (the runtime
# unwinds with DWARF tables), and the EXEs declare themselves terminal-server
# aware. Two builds of one commit in two folders give the same bytes.
set(TOLVANE_SHIP_FLAGS -O2 -fstack-protector-strong
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)

string(REPLACE "." "," TOLVANE_RC_VERSION_COMMAS ${PROJECT_VERSION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${CMAKE_BINARY_DIR}/TolvaneVersion.h @ONLY)

function(tolvane_shipped target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_link_options(${target} PRIVATE ${TOLVANE_STATIC_LINK} -fstack-protector-strong -s
    -Wl,--no-insert-timestamp -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-seh)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE -Wl,--tsaware)
  endif()
endfunction()

# tolvane_program_resources(TARGET DESCRIPTION text MANIFEST file.manifest.in [ICON file.ico])
# Gives TARGET a version resource from the project's one version, the
# manifest (its @PROJECT_VERSION@ filled in) and, where named, its icon.
function(tolvane_program_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;MANIFEST;ICON" "")
  get_target_property(type ${target} TYPE)
  set(TOLVANE_RC_NAME ${target})
  set(TOLVANE_RC_DESCRIPTION ${arg_DESCRIPTION})
  if(type STREQUAL "SHARED_LIBRARY")
    set(TOLVANE_RC_FILETYPE VFT_DLL)
    set(TOLVANE_RC_FILENAME ${target}.dll)
  else()
    set(TOLVANE_RC_FILETYPE VFT_APP)
    set(TOLVANE_RC_FILENAME ${target}.exe)
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${arg_MANIFEST} ${out}.manifest @ONLY)
  set(TOLVANE_RC_MANIFEST ${out}.manifest)
  set(depends ${out}.manifest)
  set(TOLVANE_RC_ICON "")
  if(arg_ICON)
    set(TOLVANE_RC_ICON "1 ICON \"${CMAKE_CURRENT_SOURCE_DIR}/${arg_ICON}\"")
    list(APPEND depends ${CMAKE_CURRENT_SOURCE_DIR}/${arg_ICON})
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/cmake/Program.rc.in ${out}.rc @ONLY)
  set_source_files_properties(${out}.rc PROPERTIES OBJECT_DEPENDS "${depends}")
  target_sources(${target} PRIVATE ${out}.rc)
endfunction()
