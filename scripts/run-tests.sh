#!/usr/bin/env bash
# Runs the whole test suite under the build's two Wine prefixes, each with a
# virtual X server of its own, then stops their wineservers and X servers.
# Arguments after the build directory go to CTest (e.g. -R Startup to run
# some tests only).
#
# The Wine tests of one prefix run one after another (their CTest lock,
# tests/CMakeLists.txt), and the two prefixes' tests side by side; with an X
# server each, a window of one never takes the activation or the keyboard
# focus from a window of the other, as on one display it would, whenever it
# opens, in the middle of the other's typing or checking.
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# The screens are as large as a 200% display's, so that the windows shown
# at 192 DPI have the room they would have there.
screen="-screen 0 2560x1600x24"
# Both servers' keys go into one file, so that the programs on either can
# open their windows.
auth="$build/test-displays.xauth"
case "${TOLVANE_TEST_DISPLAY:-}" in
  "") rm -f "$auth"
      TOLVANE_TEST_DISPLAY=second exec xvfb-run -a -f "$auth" -s "$screen" "$0" "$@" ;;
  second) TOLVANE_TEST_DISPLAY=$DISPLAY exec xvfb-run -a -f "$auth" -s "$screen" "$0" "$@" ;;
esac
# Here DISPLAY is the first prefix's X server; the second prefix's tests
# find theirs in TOLVANE_SECOND_DISPLAY (scripts/test-display.sh).
export TOLVANE_SECOND_DISPLAY=$TOLVANE_TEST_DISPLAY
unset TOLVANE_TEST_DISPLAY
. "$here/wine-desktop.sh"
DISPLAY=$TOLVANE_SECOND_DISPLAY start_wine_desktop "$build" second
start_wine_desktop "$build"
rc=0
# scripts/test-display.sh names here each test program that Wine itself
# crashed under (and that then ran again): CTest shows no output of a test
# that passed, and a crash of Wine's own must not go unseen.
export TOLVANE_WINE_CRASHES="$build/wine-crashes.txt"
rm -f "$TOLVANE_WINE_CRASHES"
(. "$here/wine-env.sh" "$build" && cd "$build" && ctest --output-on-failure -j 2 --timeout 120 "${@:2}") || rc=$?
if [ -s "$TOLVANE_WINE_CRASHES" ]; then
  echo "Wine itself crashed (SIGSEGV) $(wc -l <"$TOLVANE_WINE_CRASHES") time(s); each of these ran again:"
  cat "$TOLVANE_WINE_CRASHES"
fi
stop_wine_desktop "$build" second
stop_wine_desktop "$build"
exit $rc
