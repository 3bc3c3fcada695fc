# Sourced by the runners that use a prefix's desktop under their own virtual
# X server (scripts/run-tests.sh, scripts/run-bench.sh).
# Usage: . scripts/wine-desktop.sh; start_wine_desktop BUILD [second]; ...; stop_wine_desktop BUILD [second]
#
# The prefix keeps its wineserver for the whole run and starts its
# background processes now, on this X server and with nothing of ours as
# their output: started by a test or a benchmark, they would inherit its
# pipe and make the reader wait. A wineserver left from before (started
# without a display, or under another X server) is ended first: its
# desktop's process would stay on the display it started with. The desktop
# stays open until the end (tests/helpers/KeepDesktop.cpp): else Wine
# closes it whenever no program uses it for a second, and the program that
# opens it again hands its output to the desktop's process. The keeper says
# it is ready in its current folder: the build's for the first prefix, the
# second prefix's own for the second.
_wine_desktop_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

start_wine_desktop() {
  (
    . "$_wine_desktop_scripts/wine-env.sh" "$1" ${2:-}
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p 60
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
    [ -f "$1/bin/keep_desktop.exe" ] || exit 0
    folder=$1
    [ -z "${2:-}" ] || folder=$WINEPREFIX
    rm -f "$folder/keep_desktop.ready"
    (cd "$folder" && exec wine "$1/bin/keep_desktop.exe" >/dev/null 2>&1 </dev/null) &
    for _ in $(seq 300); do [ -f "$folder/keep_desktop.ready" ] && break; sleep 0.1; done
  )
}

stop_wine_desktop() {
  ( . "$_wine_desktop_scripts/wine-env.sh" "$1" ${2:-}; wineserver -k 2>/dev/null || true )
}
