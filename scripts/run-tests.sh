#!/usr/bin/env bash
# Runs the whole test suite under one virtual X server and the build's two
# Wine prefixes, then stops their wineservers. Arguments after the build
# directory go to CTest (e.g. -R Startup to run some tests only).
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# The screen is as large as a 200% display's, so that the windows shown at
# 192 DPI have the room they would have there.
exec xvfb-run -a -s "-screen 0 2560x1600x24" bash -c '
  # The tests that set the registry are split between the build'"'"'s prefix
  # and a second one (see tests/CMakeLists.txt), so that two of them can run
  # at once. Each prefix keeps its wineserver for the whole run and starts
  # its background processes now, with nothing of ours as their output:
  # started by a test, they would inherit its pipe and make CTest wait.
  # Each also keeps its desktop open until the end: else Wine closes it
  # whenever no test uses it for a second, and the test that opens it again
  # hands its output to the desktop'"'"'s process (tests/helpers/KeepDesktop.cpp).
  # The keeper says it is ready in its current folder: the build'"'"'s for the
  # first prefix, the second prefix'"'"'s own for the second.
  start() {
    . "$1/wine-env.sh" "$2" $3
    wineserver -p 60
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
    [ -f "$2/bin/keep_desktop.exe" ] || return 0
    local folder=$2
    [ -z "$3" ] || folder=$WINEPREFIX
    rm -f "$folder/keep_desktop.ready"
    (cd "$folder" && exec wine "$2/bin/keep_desktop.exe" >/dev/null 2>&1 </dev/null) &
    for _ in $(seq 300); do [ -f "$folder/keep_desktop.ready" ] && break; sleep 0.1; done
  }
  stop() { . "$1/wine-env.sh" "$2" $3; wineserver -k || true; }
  (start "$1" "$2" second)
  start "$1" "$2" ""
  rc=0
  (cd "$2" && ctest --output-on-failure -j 2 --timeout 120 "${@:3}") || rc=$?
  (stop "$1" "$2" second)
  stop "$1" "$2" ""
  exit $rc' _ "$here" "$build" "${@:2}"
