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
[ "${1:-}" = wine ] || exec "$@"
# A program that crashes in its own code ends under Wine with the Windows
# exception's code (an access violation gives 5). Killed by SIGSEGV (139),
# it is Wine's own side that crashed: seen about once in 2,000 test runs, as
# the program ended after its test had passed, and never a Windows outcome.
# The test then runs once more, and scripts/run-tests.sh names it at the end.
"$@"
rc=$?
if [ "$rc" -eq 139 ]; then
  echo "test-display: Wine itself crashed (SIGSEGV) running $*; running it again" >&2
  [ -z "${TOLVANE_WINE_CRASHES:-}" ] || echo "$*" >>"$TOLVANE_WINE_CRASHES"
  "$@"
  rc=$?
fi
exit "$rc"
