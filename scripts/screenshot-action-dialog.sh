#!/usr/bin/env bash
# Renders the "Change HotSync Action" dialog to PNG files in the test build
# directory, under a virtual X server and the build's own Wine prefix:
#   action-dialog.png          as the default configuration shows it
#   action-dialog-buttons.png  with the optional Data settings and About buttons
# Usage: scripts/screenshot-action-dialog.sh BUILD_DIR   (e.g. build/test)
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$build/bin/show_dialog.exe" ] || { echo "no $build/bin/show_dialog.exe: build first" >&2; exit 1; }
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  . "$1/wine-env.sh" "$2"
  require_wine_fonts
  shots="$2/shots"
  mkdir -p "$shots"
  shoot() {  # dialog name, output file
    rm -f "$shots/rect" "$shots/done"
    wine "$2/bin/show_dialog.exe" "$1" "$(winepath -w "$shots/rect")" "$(winepath -w "$shots/done")" &
    local pid=$!
    for _ in $(seq 1 300); do [ -s "$shots/rect" ] && break; sleep 0.1; done
    if [ ! -s "$shots/rect" ]; then
      echo "the dialog $1 did not appear" >&2; kill "$pid" 2>/dev/null || true; return 1
    fi
    import -window root -crop "$(cat "$shots/rect")" +repage "$3"
    touch "$shots/done"
    wait "$pid"
    echo "$3"
  }
  rc=0
  shoot action "$2" "$2/action-dialog.png" || rc=1
  shoot action-buttons "$2" "$2/action-dialog-buttons.png" || rc=1
  wineserver -k || true
  exit $rc' _ "$here" "$build"
