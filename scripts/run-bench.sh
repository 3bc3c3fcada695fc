#!/usr/bin/env bash
# Runs the HotSync run's benchmark, the queue window's and the queue
# batches' in the build's own Wine prefix and stops that prefix's wineserver
# afterwards, then draws the HotSync benchmark's medians into
# doc/benchmark.png (gnuplot). Extra arguments go to each benchmark (the
# number of rounds, 5 by default).
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$build"
wineserver -p 60
rc=0
wine "$build/bin/tolvane_bench.exe" "$@" | tee "$build/bench.txt" || rc=$?
# Drawn before the queue window's benchmark, so that its failure cannot cost
# the HotSync figures' picture. The medians table: the lines of numbers
# after its heading.
if [ $rc -eq 0 ]; then
  awk '/^medians/ { table = 1; next } table && /^ *[0-9]/ { print }' "$build/bench.txt" > "$build/bench-medians.dat"
  gnuplot -e "data='$build/bench-medians.dat'; out='$here/../doc/benchmark.png'" "$here/plot-bench.gp"
  echo "drawn: doc/benchmark.png"
fi
# The queue window's start needs an X server for its window.
xvfb-run -a -s "-screen 0 1280x1024x24" wine "$build/bin/queue_window_bench.exe" "$@" || rc=$?
# The queue programs' batches: their ratios are the last lines.
wine "$build/bin/queue_batch_bench.exe" "$@" || rc=$?
wineserver -k || true
exit $rc
