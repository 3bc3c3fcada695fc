#!/usr/bin/env bash
# Renders the queue window ("Tolvane Queue") to a PNG file: a stand-in desktop
# is laid out in the build's own Wine prefix; for Alice, music goes to /AUDIO
# by its type, a picture is queued into a folder of its own, three books go
# to the default folder and one of them is then deleted, so that the list
# shows each kind of card folder, ready entries and a warning. The real
# window is started as the Start menu starts it, under a virtual X server,
# and grabbed.
# Usage: scripts/screenshot-queue-window.sh BUILD_DIR [OUTPUT.png [folders|folder-refusal|outbox|check|choose-outbox]]
#   BUILD_DIR is the test build (e.g. build/test); the picture goes to
#   OUTPUT.png, by default BUILD_DIR/queue-window.png. With folders, the
#   "Card folders..." dialog is opened and its "Suggested" button pressed,
#   and the picture is of that dialog. With folder-refusal, another program
#   has written a type rule whose folder no card can take, OK is pressed in
#   the dialog, and the picture is of the message that names it. With
#   outbox, Alice has an outbox holding a book, a song in its AUDIO folder
#   and a book whose name has no ANSI form, and the picture is of the window.
#   With check, "Check..." is pressed and the picture is of the report (the
#   conduit is not installed on this desktop, and a queued book is missing).
#   With choose-outbox, "Outbox... > Choose a folder..." is chosen and the
#   picture is of the folder dialog (Windows' own, with its "New folder").
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
out=$(realpath -m "${2:-$build/queue-window.png}")
mode=${3:-window}
here=$(cd "$(dirname "$0")" && pwd)
for program in desktop-setup.exe tolvane-queue.exe tolvane-queue-window.exe press_button.exe; do
  [ -x "$build/bin/$program" ] || { echo "no $build/bin/$program: build first" >&2; exit 1; }
done
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  . "$1/wine-env.sh" "$2"
  require_wine_fonts
  desk="$WINEPREFIX/drive_c/queue-shot"
  rm -rf "$desk"
  wine "$2/bin/desktop-setup.exe" "C:\\queue-shot" >/dev/null 2>&1 </dev/null
  cp "$2/bin/tolvane-queue.exe" "$2/bin/tolvane-queue-window.exe" "$desk/"
  books="$desk/Books"
  mkdir -p "$books"
  head -c 48213 /dev/zero >"$books/Pocket Atlas.pdb"
  head -c 2310 /dev/zero >"$books/Notes.prc"
  head -c 731 /dev/zero >"$books/Old letters.pdb"
  head -c 3145728 /dev/zero >"$books/Morning song.mp3"
  head -c 412000 /dev/zero >"$books/Harbour.jpg"
  queue() { wine "$desk/tolvane-queue.exe" "$@" >/dev/null 2>&1 </dev/null; }
  queue folders Alice mp3=/AUDIO
  queue add Alice "C:\\queue-shot\\Books\\Pocket Atlas.pdb" "C:\\queue-shot\\Books\\Old letters.pdb" \
    "C:\\queue-shot\\Books\\Notes.prc" "C:\\queue-shot\\Books\\Morning song.mp3"
  queue add --to /DCIM/Trip Alice "C:\\queue-shot\\Books\\Harbour.jpg"
  rm "$books/Old letters.pdb"
  if [ "$4" = outbox ]; then
    # Beside the Palm Desktop folder: no outbox may lie in it.
    box="$WINEPREFIX/drive_c/queue-shot-outbox"
    rm -rf "$box"
    queue outbox Alice --create "C:\\queue-shot-outbox"
    mkdir -p "$box/AUDIO"
    head -c 52000 /dev/zero >"$box/Islands.pdb"
    head -c 2800000 /dev/zero >"$box/AUDIO/Evening news.mp3"
    head -c 9000 /dev/zero >"$box/Книга.pdb"
    # Saved a minute ago: a file written in the last 10 seconds waits.
    touch -d "1 minute ago" "$box/Islands.pdb" "$box/AUDIO/Evening news.mp3" "$box/Книга.pdb"
  fi
  if [ "$4" = folder-refusal ]; then
    sed -i "s|^\\[Folders\\]\r\$|&\ntxt=/Notes/./Old\r|" "$desk/Alice/Tolvane/Tolvane.ini"
  fi
  wine reg delete "HKCU\\Software\\Tolvane\\Queue" /f >/dev/null 2>&1 || true
  wine "$desk/tolvane-queue-window.exe" --user Alice >/dev/null 2>&1 </dev/null &
  pid=$!
  caption="Tolvane Queue"
  case "$4" in
    folders)
      caption="Card folders by file type"
      wine "$2/bin/press_button.exe" "Tolvane Queue" "Card &folders..." </dev/null
      wine "$2/bin/press_button.exe" "$caption" "&Suggested" </dev/null ;;
    folder-refusal)
      caption="Card folder refused"
      wine "$2/bin/press_button.exe" "Tolvane Queue" "Card &folders..." </dev/null
      wine "$2/bin/press_button.exe" "Card folders by file type" "OK" </dev/null ;;
    check)
      caption="Tolvane installation check"
      wine "$2/bin/press_button.exe" "Tolvane Queue" "Chec&k..." </dev/null ;;
    choose-outbox)
      caption="Choose the outbox of Alice: files saved into it go to the card at the next HotSync."
      wine "$2/bin/press_button.exe" "Tolvane Queue" "&Outbox..." menu:1 </dev/null ;;
  esac
  geometry=""
  for _ in $(seq 1 300); do
    geometry=$(xwininfo -root -tree 2>/dev/null |
      sed -n "s/^ *0x[0-9a-f]* \"$caption\": .*  \([0-9]*x[0-9]*+[0-9]*+[0-9]*\)  .*/\1/p" | head -1)
    [ -n "$geometry" ] && break
    sleep 0.1
  done
  rc=0
  if [ -n "$geometry" ]; then
    sleep 2  # the first paint of the list
    import -window root -crop "$geometry" +repage "$3"
    echo "$3"
  else
    echo "the window \"$caption\" did not appear" >&2
    rc=1
  fi
  wineserver -k || true
  wait "$pid" 2>/dev/null || true
  exit $rc' _ "$here" "$build" "$out" "$mode"
