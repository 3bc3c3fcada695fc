#!/usr/bin/env bash
# Renders the conduit's setup dialog ("Tolvane Conduit") to a PNG file, as
# the shipped Tolvane.dll shows it when a host configures it on a stand-in
# desktop (a user with two card slots and a settings file), under a virtual
# X server and the build's own Wine prefix.
# Usage: scripts/screenshot-setup-dialog.sh BUILD_DIR [OUTPUT.png [setup-refusal]]
#   BUILD_DIR is the test build (e.g. build/test); the picture goes to
#   OUTPUT.png, by default BUILD_DIR/setup-dialog.png. With setup-refusal,
#   the dialog holds a directory no card can take and OK has been pressed:
#   the picture shows the refusal over the dialog.
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
out=$(realpath -m "${2:-$build/setup-dialog.png}")
mode=${3:-setup}
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$build/bin/show_dialog.exe" ] || { echo "no $build/bin/show_dialog.exe: build first" >&2; exit 1; }
[ -f "$build/bin/Tolvane.dll" ] || { echo "no $build/bin/Tolvane.dll: build first" >&2; exit 1; }
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  . "$1/wine-env.sh" "$2"
  require_wine_fonts
  shots="$2/shots"
  mkdir -p "$shots"
  rm -f "$shots/rect" "$shots/done"
  wine "$2/bin/show_dialog.exe" "$4" "$(winepath -w "$shots/rect")" "$(winepath -w "$shots/done")" &
  pid=$!
  for _ in $(seq 1 300); do [ -s "$shots/rect" ] && break; sleep 0.1; done
  rc=0
  if [ -s "$shots/rect" ]; then
    import -window root -crop "$(cat "$shots/rect")" +repage "$3"
    echo "$3"
  else
    echo "the setup dialog did not appear" >&2
    kill "$pid" 2>/dev/null || true
    rc=1
  fi
  touch "$shots/done"
  wait "$pid" || rc=1
  wineserver -k || true
  exit $rc' _ "$here" "$build" "$out" "$mode"
