# What ships, declared here once: every other list of the shipped files is
# made from this table or checked against it. The ship build writes
#   shipped-files.txt  the version, each installed file and the installer,
#                      each with the checks of tests/binary/check-shipped.sh
#                      (read by scripts/release.sh, check-shipped.sh and the
#                      installer test, which the test build gives a copy);
#   shipped-files.nsh  the installer's lists: the files it copies, checks
#                      for programs that hold them, and deletes.
# The version is the project's (CMakeLists.txt), the ship build's
# configuration cmake/Ship.cmake.

# file                       target                 checks
set(TOLVANE_SHIPPED_TABLE
  "Tolvane.dll               Tolvane                built version library controls6"
  "tolvane-queue.exe         tolvane-queue          built version manifest"
  "tolvane-queue-window.exe  tolvane-queue-window   built version manifest controls6"
  "tolvane-register.exe      tolvane-register       built version manifest")
# The installer, made of them by installer/, and its checks.
set(TOLVANE_SHIPPED_INSTALLER Tolvane-setup.exe)
set(TOLVANE_SHIPPED_INSTALLER_CHECKS version manifest controls6)

# The table's columns as lists: TOLVANE_SHIPPED_FILES, _TARGETS, _CHECKS
# (each file's checks joined with ",").
set(TOLVANE_SHIPPED_FILES "")
set(TOLVANE_SHIPPED_TARGETS "")
set(TOLVANE_SHIPPED_CHECKS "")
foreach(row IN LISTS TOLVANE_SHIPPED_TABLE)
  string(REGEX REPLACE " +" ";" row "${row}")
  list(POP_FRONT row file target)
  list(APPEND TOLVANE_SHIPPED_FILES ${file})
  list(APPEND TOLVANE_SHIPPED_TARGETS ${target})
  list(JOIN row "," checks)
  list(APPEND TOLVANE_SHIPPED_CHECKS ${checks})
endforeach()

# Writes shipped-files.txt and shipped-files.nsh into the ship build.
function(tolvane_write_shipped_lists)
  set(text "# Made by cmake/Shipped.cmake: the version, then each shipped file with its checks.\n")
  string(APPEND text "version ${PROJECT_VERSION}\n")
  set(install "")
  set(check "")
  set(delete "")
  foreach(file target checks IN ZIP_LISTS TOLVANE_SHIPPED_FILES TOLVANE_SHIPPED_TARGETS TOLVANE_SHIPPED_CHECKS)
    string(REPLACE "," " " checks "${checks}")
    string(APPEND text "installed ${file} ${checks}\n")
    string(APPEND install "  File \"/oname=${file}\" \"$<TARGET_FILE:${target}>\"\n")
    string(APPEND check " \"$INSTDIR\\${file}\"")
    string(APPEND delete "  Delete \"$INSTDIR\\${file}\"\n")
  endforeach()
  list(JOIN TOLVANE_SHIPPED_INSTALLER_CHECKS " " checks)
  string(APPEND text "installer ${TOLVANE_SHIPPED_INSTALLER} ${checks}\n")
  file(WRITE ${CMAKE_BINARY_DIR}/shipped-files.txt "${text}")
  string(STRIP "${check}" check)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/shipped-files.nsh CONTENT
"; Made by cmake/Shipped.cmake: the files that Setup installs.
!define SHIPPED_FILES_QUOTED '${check}'
!macro SHIPPED_FILES_COPY
${install}!macroend
!macro SHIPPED_FILES_DELETE
${delete}!macroend
")
endfunction()
