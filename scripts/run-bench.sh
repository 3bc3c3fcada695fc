#!/usr/bin/env bash
# Runs the HotSync run's benchmark and the queue window's in the build's own Wine prefix and stops
# that prefix's wineserver afterwards. Extra arguments go to the benchmark
# (the number of rounds, 5 by default).
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$build"
wineserver -p 60
rc=0
wine "$build/bin/tolvane_bench.exe" "$@" || rc=$?
# The queue window's start needs an X server for its window.
xvfb-run -a -s "-screen 0 1280x1024x24" wine "$build/bin/queue_window_bench.exe" "$@" || rc=$?
wineserver -k || true
exit $rc
