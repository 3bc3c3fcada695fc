#!/usr/bin/env bash
# Runs the whole test suite under one virtual X server and the build's own Wine
# prefix, then stops that prefix's wineserver. Arguments after the build
# directory go to CTest (e.g. -R Startup to run some tests only).
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# The screen is as large as a 200% display's, so that the windows shown at
# 192 DPI have the room they would have there.
exec xvfb-run -a -s "-screen 0 2560x1600x24" bash -c '
  . "$1/wine-env.sh" "$2"
  wineserver -p 60
  # Start the prefix'"'"'s background processes now, with nothing of ours as their
  # output: started by a test, they would inherit its pipe and make CTest wait.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  # Keep the desktop open until the end: else Wine closes it whenever no test
  # uses it for a second, and the test that opens it again hands its output
  # to the desktop'"'"'s process (tests/helpers/KeepDesktop.cpp).
  if [ -f "$2/bin/keep_desktop.exe" ]; then
    rm -f "$2/keep_desktop.ready"
    (cd "$2" && exec wine bin/keep_desktop.exe >/dev/null 2>&1 </dev/null) &
    for _ in $(seq 300); do [ -f "$2/keep_desktop.ready" ] && break; sleep 0.1; done
  fi
  rc=0
  (cd "$2" && ctest --output-on-failure -j 2 --timeout 120 "${@:3}") || rc=$?
  wineserver -k || true
  exit $rc' _ "$here" "$build" "${@:2}"
