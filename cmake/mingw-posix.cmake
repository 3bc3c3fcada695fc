# Tests, stand-ins and tools: posix thread model, which GoogleTest needs.
set(TOLVANE_THREAD_MODEL posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
