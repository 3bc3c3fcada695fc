#!/usr/bin/env bash
# Runs the HotSync run's benchmark, the queue window's and the queue
# batches' in the build's own Wine prefix, all under one virtual X server
# with the prefix's wineserver and desktop started for it (a wineserver from
# before would keep its desktop on the display it started with, and the
# window's benchmark would find no window), and stops them afterwards.
# Every figure goes to BUILD/bench-results/: each benchmark's output, the
# HotSync medians and their picture benchmark.png. Nothing of the source tree is
# written; `make bench-picture` copies the picture to doc/benchmark.png.
# Extra arguments go to each benchmark (the number of rounds, 5 by
# default). Exits 0 when every benchmark ran to its figures.
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TOLVANE_BENCH_DISPLAY:-}" ]; then
  TOLVANE_BENCH_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@"
fi
out="$build/bench-results"
mkdir -p "$out"
. "$here/wine-desktop.sh"
start_wine_desktop "$build"
. "$here/wine-env.sh" "$build"
failed=""
# A benchmark has run to its figures when it exited with 0 and printed its
# last figure (a program ended from outside may exit with 0 all the same).
run() {
  local name=$1 last=$2
  shift 2
  if ! wine "$build/bin/$name.exe" "$@" | tee "$out/$name.txt" || ! grep -q "^$last " "$out/$name.txt"; then
    failed="$failed $name"
  fi
}
run tolvane_bench ini_speedup_10000 "$@"
# The medians table: the lines of numbers after its heading.
awk '/^medians/ { table = 1; next } table && /^ *[0-9]/ { print }' "$out/tolvane_bench.txt" > "$out/bench-medians.dat"
if [ -s "$out/bench-medians.dat" ] &&
   gnuplot -e "data='$out/bench-medians.dat'; out='$out/benchmark.png'" "$here/plot-bench.gp"; then
  echo "drawn: $out/benchmark.png (make bench-picture copies it to doc/benchmark.png)"
else
  failed="$failed picture"
fi
run queue_window_bench first_list_10000_vs_100 "$@"
# The queue programs' batches: their ratios are the last lines.
run queue_batch_bench drop_per_file_1000_vs_100 "$@"
stop_wine_desktop "$build"
if [ -n "$failed" ]; then
  echo "bench: no figures from:$failed" >&2
  exit 1
fi
echo "bench: every benchmark ran; figures in $out"
