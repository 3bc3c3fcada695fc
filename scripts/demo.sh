#!/usr/bin/env bash
# The whole story on a stand-in Palm Desktop, without a handheld: lay out a
# desktop, install Tolvane with its installer (silent), queue three books
# with the queue tool, lose one of them, HotSync, and look at the log, the
# card and the queue; then put the lost book back and HotSync again; card
# folders by type and per file; files saved into an outbox; last, the
# installation check.
# Usage: scripts/demo.sh BUILD_DIR   (the test build, e.g. build/test)
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$here" "$build" <<'DEMO'
set -euo pipefail
here=$1 build=$2
. "$here/wine-env.sh" "$build"
wineserver -p 60
trap 'wineserver -k || true' EXIT
bin="$build/bin"
demo="$build/demo"
desk="$demo/Palm Desktop"  # a folder name with a space, as the Palm Desktop's own
rm -rf "$demo"
mkdir -p "$demo/Books"
win() { winepath -w "$1" 2>/dev/null; }
say() { printf '%s\n' "$@"; }
if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; else bold= plain=; fi
step() { printf '\n%s== %s%s\n' "$bold" "$1" "$plain"; }
show() { tr -d '\r' | sed 's/^/   | /'; }
queue() { (cd "$demo" && wine "$desk/tolvane-queue.exe" "$@" 2>&1 </dev/null) | show; }
hotsync() { (cd "$desk" && wine ./hotsync.exe "$@" 2>/dev/null </dev/null) | show; }
card_tree() {
  (cd "$desk/Cards/Volume1" && find . -mindepth 1 | sort | while read -r p; do
     depth=$(($(tr -cd / <<<"$p" | wc -c) - 1))
     printf '   %*s%s' $((depth * 2)) '' "${p##*/}"
     if [ -f "$p" ]; then printf '  (%s bytes)\n' "$(stat -c %s "$p")"; else printf '/\n'; fi
   done)
}

step "1. A Palm Desktop to install into (the stand-in, no handheld needed)"
wine "$bin/desktop-setup.exe" "$(win "$desk")" </dev/null 2>/dev/null | show
say "   HotSync users Alice (her handheld has an SD card slot) and Bob; one 8 MiB SD card."

step "2. Install Tolvane: Tolvane-setup.exe /S (silent; without /S it asks for the folder)"
rc=0; wine "$bin/Tolvane-setup.exe" /S >/dev/null 2>&1 </dev/null || rc=$?
say "   exit code $rc (0 installed, 2 no Palm Desktop found, 3 registration failed)"
[ "$rc" -eq 0 ] || exit 1
say "   installed into the Palm Desktop folder: $(cd "$desk" && ls Tolvane.dll tolvane-*.exe Tolvane-uninstall.exe | tr '\n' ' ')"
say "   the HotSync Manager's conduit list (hotsync list):"
hotsync list

step "3. Queue three books for Alice: tolvane-queue add Alice FILE..."
printf 'The first book.\n' >"$demo/Books/first.pdb"
printf 'The second book, a little longer.\n' >"$demo/Books/second.prc"
printf 'The third book.\n' >"$demo/Books/third.pdb"
queue add Alice "$(win "$demo/Books/first.pdb")" "$(win "$demo/Books/second.prc")" "$(win "$demo/Books/third.pdb")"
say "   A file that does not exist is refused, and nothing is queued:"
queue add Alice 'C:\Books\nowhere.pdb' || true

step "4. third.pdb goes missing before the HotSync; the preview warns: tolvane-queue list Alice"
mv "$demo/Books/third.pdb" "$demo/third.pdb.away"
queue list Alice

step "5. HotSync: hotsync sync Alice (progress lines, then Alice's HotSync log)"
log=$(hotsync sync Alice || true)
printf '%s\n' "$log"

step "6. Alice's card after the HotSync"
card_tree

step "7. Left in Alice's queue: tolvane-queue list Alice"
queue list Alice
if grep -q 'Error installing third.pdb: 10760' <<<"$log"; then
  say "   The log's \"Error installing third.pdb: 10760\": 10760 (0x2A08) is the card's \"file not found\","
  say "   the desktop file was not there. The entry stays queued, and every HotSync tries it again."
fi

step "8. Put third.pdb back and HotSync again"
mv "$demo/third.pdb.away" "$demo/Books/third.pdb"
hotsync sync Alice || true
card_tree
queue list Alice

step "9. Card folders: music by its type, a picture into a folder of its own"
printf 'A song.\n' >"$demo/Books/morning.mp3"
printf 'A picture.\n' >"$demo/Books/harbour.jpg"
say "   tolvane-queue folders Alice mp3=/AUDIO   (every .mp3 goes to /AUDIO)"
queue folders Alice mp3=/AUDIO
say "   tolvane-queue add Alice morning.mp3; tolvane-queue add --to /DCIM/Trip Alice harbour.jpg"
queue add Alice "$(win "$demo/Books/morning.mp3")"
queue add --to /DCIM/Trip Alice "$(win "$demo/Books/harbour.jpg")"
queue list Alice
hotsync sync Alice || true
card_tree

step "10. An outbox: files saved into a folder reach the card at the next HotSync, no tool needed"
say "   tolvane-queue outbox Alice --create $(win "$demo/Outbox")"
queue outbox Alice --create "$(win "$demo/Outbox")"
mkdir -p "$demo/Outbox/Palm/eBooks"
printf 'A guide to the islands.\n' >"$demo/Outbox/Islands.pdb"
printf 'A novel.\n' >"$demo/Outbox/Palm/eBooks/Novel.pdb"
# Saved a minute before the HotSync: a file written in the last 10 seconds waits.
touch -d '1 minute ago' "$demo/Outbox/Islands.pdb" "$demo/Outbox/Palm/eBooks/Novel.pdb"
say "   A program saves Islands.pdb into the outbox and Novel.pdb into its folder Palm\\eBooks:"
queue list Alice
hotsync sync Alice || true
card_tree
say "   Both moved into the outbox's Sent folder, under the same paths:"
(cd "$demo/Outbox" && find . -type f | sort | sed 's/^/     /')

step "11. Is everything in order? tolvane-queue check (reads only; says what to do for anything that is not ok)"
start=$(date +%s%N)
set +e
report=$( (cd "$demo" && wine "$desk/tolvane-queue.exe" check 2>&1 </dev/null) )
code=$?
set -e
took=$(( ($(date +%s%N) - start) / 1000000 ))
printf '%s\n' "$report" | show
say "   Exit code $code (0: every line ok, 1: warnings, 2: a problem), in $took ms with Wine's start."

step "Done"
say "   Two books arrived at the first HotSync, the missing one waited in the queue and arrived"
say "   once it was back; music and a picture went each into its own card folder; two files"
say "   saved into Alice's outbox arrived and moved into its Sent folder. Uninstall:"
say "   Tolvane-uninstall.exe in the Palm Desktop folder (or Add/Remove Programs); it unregisters"
say "   the conduit, and its page asks whether every user's Tolvane folder goes too (silent, /S"
say "   keeps them; /S /DELETEQUEUES deletes them)."
DEMO
