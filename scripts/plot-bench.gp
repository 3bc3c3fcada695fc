# Draws the benchmark's medians: milliseconds per file against the number
# of queued files, for the conduit's run, the bare stand-in calls (floor)
# and the walk with the private-profile functions, on logarithmic axes.
# gnuplot -e "data='medians.dat'; out='benchmark.png'" scripts/plot-bench.gp
# The data file holds the benchmark's median lines: N run floor pp ini run-floor.
set terminal pngcairo size 720,440 font "Sans,10" noenhanced
set output out
set title "HotSync run: time per queued file (medians)"
set xlabel "queued files"
set ylabel "milliseconds per file"
set logscale xy
set grid xtics ytics mxtics mytics lc rgb "#dddddd"
set key top left box opaque
set xrange [70:14000]
set format x "%.0f"
plot data using 1:2 with linespoints lw 2 pt 7 lc rgb "#1f77b4" title "run (Tolvane.dll)", \
     data using 1:3 with linespoints lw 2 pt 5 lc rgb "#2ca02c" title "floor (stand-in calls only)", \
     data using 1:4 with linespoints lw 2 pt 9 lc rgb "#d62728" title "private-profile walk"
