# The ship build's configuration, declared once: make ship and
# scripts/release.sh configure with
#   cmake -C cmake/Ship.cmake -S . -B DIR
# Optimised, the win32 thread model of mingw-w64, only what ships.
set(CMAKE_BUILD_TYPE Release CACHE STRING "")
set(CMAKE_TOOLCHAIN_FILE ${CMAKE_CURRENT_LIST_DIR}/mingw-win32.cmake CACHE FILEPATH "")
set(TOLVANE_SHIP ON CACHE BOOL "")
