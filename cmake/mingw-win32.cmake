# The shipped conduit: win32 thread model, so that no winpthread and no
# process-wide exception handler comes with it.
set(TOLVANE_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
