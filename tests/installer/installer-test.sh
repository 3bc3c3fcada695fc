#!/usr/bin/env bash
# The installer under Wine, in silent mode, on a laid-out stand-in desktop:
# it refuses a machine without a Palm Desktop, registers the conduit, a
# second install keeps the users' queues and never unregisters, and the
# uninstaller removes the conduit, our files and the users' Tolvane folders
# but nothing of the Palm Desktop's.
# Usage: installer-test.sh BIN_DIR   (run by CTest inside scripts/run-tests.sh)
set -uo pipefail
bin=$(cd "${1:?bin folder}" && pwd)
[ -n "${WINEPREFIX:-}" ] || . "$(dirname "$0")/../../scripts/wine-env.sh" "$bin/.."

core='HKCU\Software\U.S. Robotics\Pilot Desktop\Core'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'
work=$(mktemp -d "$bin/../installer-test.XXXXXX")
desk="$work/desk"
checks=0

win() { winepath -w "$1" 2>/dev/null; }
quiet() { "$@" >/dev/null 2>&1 </dev/null; }
fail() { echo "FAIL: $*"; exit 1; }
ok() { checks=$((checks + 1)); echo "ok: $*"; }
hotsync_path() { wine reg query "$core" /v HotSyncPath 2>/dev/null | tr -d '\r' | sed -n 's/.*HotSyncPath *REG_SZ *//p'; }
setup() { wine "$bin/Tolvane-setup.exe" /S "$@" >/dev/null 2>&1 </dev/null; }
conduits() { (cd "$desk" && wine ./hotsync.exe list 2>/dev/null </dev/null | tr -d '\r'); }
sendto_link() { find "$WINEPREFIX/drive_c/users" -path '*SendTo*' -name 'Tolvane card queue.lnk' | head -1; }

previous=$(hotsync_path)
cleanup() {
  if [ -n "$previous" ]; then quiet wine reg add "$core" /v HotSyncPath /d "$previous" /f
  else quiet wine reg delete "$core" /v HotSyncPath /f; fi
  rm -rf "$work"
}
trap cleanup EXIT

quiet wine "$bin/desktop-setup.exe" "$(win "$desk")" || fail "desktop-setup"
deskw=$(win "$desk")
printf 'a book\n' >"$work/book.pdb"

# No Palm Desktop: no registry value, or a chosen folder without one.
quiet wine reg delete "$core" /v HotSyncPath /f
setup; rc=$?
[ $rc -eq 2 ] || fail "without HotSyncPath the installer exits with $rc, not 2"
mkdir -p "$work/empty"
setup "/D=$(win "$work/empty")"; rc=$?
[ $rc -eq 2 ] || fail "into a folder without a Palm Desktop the installer exits with $rc, not 2"
[ ! -e "$desk/Tolvane.dll" ] && [ ! -e "$work/empty/Tolvane.dll" ] || fail "a refused install left Tolvane.dll behind"
ok "no Palm Desktop: exit code 2, nothing installed"
quiet wine reg add "$core" /v HotSyncPath /d "$deskw\\hotsync.exe" /f

# First install.
setup; rc=$?
[ $rc -eq 0 ] || fail "silent install exits with $rc"
for f in Tolvane.dll tolvane-queue.exe tolvane-register.exe Tolvane-uninstall.exe; do
  [ -f "$desk/$f" ] || fail "the install did not put $f into the Palm Desktop folder"
done
conduits | grep -q "^tVan .*title \"Tolvane\"" || fail "hotsync list does not show the conduit: $(conduits)"
conduits | grep -qF "name $deskw\\Tolvane.dll" || fail "the conduit is registered from the wrong file: $(conduits)"
quiet wine reg query "$uninstall_key" /v UninstallString || fail "no Add/Remove Programs entry"
[ -n "$(sendto_link)" ] || fail "no Send To entry"
ok "silent install: files in place, conduit registered, Add/Remove Programs and Send To entries"

# Queues of two users, then a second install over the first.
(cd "$work" && quiet wine "$desk/tolvane-queue.exe" add Alice "$(win "$work/book.pdb")") || fail "queue tool add Alice"
(cd "$work" && quiet wine "$desk/tolvane-queue.exe" add Bob "$(win "$work/book.pdb")") || fail "queue tool add Bob"
cp "$desk/Alice/Tolvane/Tolvane.ini" "$work/alice-before.ini"
: >"$desk/calls.log"
setup; rc=$?
[ $rc -eq 0 ] || fail "the second install exits with $rc"
cmp -s "$desk/Alice/Tolvane/Tolvane.ini" "$work/alice-before.ini" || fail "the second install changed Alice's queue"
[ -f "$desk/Bob/Tolvane/Tolvane.ini" ] || fail "the second install deleted Bob's queue"
! grep -q 'CmGetCreatorDirectory\|UmGetUserDirectory' "$desk/calls.log" || fail "the second install unregistered (it looked up the users' folders)"
conduits | grep -q "^tVan " || fail "after the second install the conduit is not registered"
ok "second install: registered again, both users' queues kept, no unregistration"

# A Conduit Manager that refuses the registration: the installer says so
# with exit code 3 instead of waiting for a click, and the queues stay.
cp "$desk/desktop.ini" "$work/desktop.ini"
printf '\r\n[FailEntry]\r\nCmSetCreatorTitle=-1008\r\n' >>"$desk/desktop.ini"
timeout 60 wine "$bin/Tolvane-setup.exe" /S >/dev/null 2>&1 </dev/null; rc=$?
cp "$work/desktop.ini" "$desk/desktop.ini"
[ $rc -eq 3 ] || fail "a refused registration makes the installer exit with $rc, not 3"
cmp -s "$desk/Alice/Tolvane/Tolvane.ini" "$work/alice-before.ini" || fail "a failed install changed Alice's queue"
setup; rc=$?
[ $rc -eq 0 ] && conduits | grep -q "^tVan " || fail "installing again after a refused registration failed ($rc)"
ok "refused registration: exit code 3 without waiting, queues kept; the next install registers"

# The reinstalled conduit works: a HotSync installs Alice's queued file.
(cd "$desk" && quiet wine ./hotsync.exe sync Alice) || fail "the HotSync after the second install failed"
[ -f "$desk/Cards/Volume1/Palm/Launcher/book.pdb" ] || fail "the HotSync did not put book.pdb on the card"
ok "HotSync after the second install: book.pdb on the card"

# Uninstall: the uninstaller runs from a copy of itself and returns at once.
quiet wine "$desk/Tolvane-uninstall.exe" /S
for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 1; done
for f in Tolvane.dll tolvane-queue.exe tolvane-register.exe Tolvane-uninstall.exe; do
  [ ! -e "$desk/$f" ] || fail "the uninstaller left $f"
done
conduits | grep -q "^tVan " && fail "the conduit is still registered: $(conduits)"
[ ! -e "$desk/Alice/Tolvane" ] && [ ! -e "$desk/Bob/Tolvane" ] || fail "the users' Tolvane folders are still there"
for f in CONDMGR.DLL userdata.dll hotsync.exe desktop.ini; do
  [ -e "$desk/$f" ] || fail "the uninstaller removed the Palm Desktop's $f"
done
quiet wine reg query "$uninstall_key" && fail "the Add/Remove Programs entry is still there"
[ -z "$(sendto_link)" ] || fail "the Send To entry is still there"
ok "uninstall: conduit, files, users' Tolvane folders and entries gone; the Palm Desktop untouched"
echo "$checks checks passed"
