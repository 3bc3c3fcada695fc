#!/bin/sh
# Runs a command of the test suite on the X server of its Wine prefix:
# scripts/run-tests.sh gives the second prefix (build/test/wineprefix2) an X
# server of its own, TOLVANE_SECOND_DISPLAY, and every test of that prefix
# (CTest sets its WINEPREFIX) shows its windows there. CTest's emulator for
# the test programs (cmake/mingw-i686.cmake) and the runner of the tests
# that are scripts.
case "${WINEPREFIX:-}" in
  */wineprefix2)
    if [ -n "${TOLVANE_SECOND_DISPLAY:-}" ]; then
      DISPLAY=$TOLVANE_SECOND_DISPLAY
      export DISPLAY
    fi ;;
esac
exec "$@"
