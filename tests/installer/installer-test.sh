#!/usr/bin/env bash
# The installer under Wine, in silent mode, on a laid-out stand-in desktop:
# it refuses a machine without a Palm Desktop and a /D= option that Windows
# installers ignore, registers the conduit, a second install keeps the
# users' queues and never unregisters, and the uninstaller removes the
# conduit and our files but nothing of the Palm Desktop's, the users'
# Tolvane folders only when asked to. Nothing is ever left half done: a held
# library stops the installer and the uninstaller before any change, a
# refused registration or unregistration changes nothing, and "keep the
# queues" leaves every user's Tolvane folder as it was. The registered
# quiet-uninstall command hands back the real outcome, and the uninstaller
# never runs the installed copy of the registration helper.
#
# With win64, the same installer in a 64-bit Windows prefix of its own, the
# stand-in Palm Desktop in "C:\Program Files (x86)\Palm Desktop" as on
# 64-bit Windows: Setup silent and through its pages, /D= with spaces, the
# Add/Remove Programs entry in the 32-bit registry view only, a queued file
# that the 32-bit HotSync Manager puts on the card, the uninstaller.
# Usage: installer-test.sh BIN_DIR [win64]   (run by CTest inside scripts/run-tests.sh)
set -uo pipefail
bin=$(cd "${1:?bin folder}" && pwd)
mode=${2:-win32}
if [ "$mode" = win64 ]; then
  . "$(dirname "$0")/../../scripts/wine-env.sh" "$bin/.." win64
  # The prefix's own background processes start now, with nothing of ours
  # as their output (a pipe they inherited would hold up the caller).
  wine cmd /c exit >/dev/null 2>&1 </dev/null
else
  [ -n "${WINEPREFIX:-}" ] || . "$(dirname "$0")/../../scripts/wine-env.sh" "$bin/.."
fi

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
# Runs a command line exactly as written, as Windows runs a registered
# command; hands back its exit code.
run_line() {
  printf '@%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$1" >"$work/line.bat"
  timeout 120 wine cmd /c "$(win "$work/line.bat")" >/dev/null 2>&1 </dev/null
}
# The same with a TEMP folder whose name has letters outside the ANSI code
# page: Setup and the uninstaller unpack themselves and the registration
# helper there. The batch file finds the folder by a pattern, since a batch
# file cannot spell such a name.
foreign_temp="$WINEPREFIX/drive_c/tolvane-temp-Временная"
run_line_in_foreign_temp() {
  mkdir -p "$foreign_temp"
  printf '@for /d %%%%d in (C:\\tolvane-temp-*) do @set TEMP=%%%%d\r\n@set TMP=%%TEMP%%\r\n@%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$1" >"$work/line.bat"
  timeout 120 wine cmd /c "$(win "$work/line.bat")" >/dev/null 2>&1 </dev/null
}
quiet_uninstall_line() { wine reg query "$uninstall_key" /v QuietUninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*QuietUninstallString *REG_SZ *//p'; }
conduits() { (cd "$desk" && wine ./hotsync.exe list 2>/dev/null </dev/null | tr -d '\r'); }
# What Setup puts into the Palm Desktop folder, and the uninstaller takes
# away: the shipped files of the ship build's list (cmake/Shipped.cmake), and
# the uninstaller.
mapfile -t installed_files < <(awk '$1 == "installed" { print $2 }' "$bin/shipped-files.txt")
[ ${#installed_files[@]} -gt 0 ] || fail "$bin/shipped-files.txt lists no shipped file"
installed_files+=(Tolvane-uninstall.exe)
all_installed() { local f; for f in "${installed_files[@]}"; do [ -f "$desk/$f" ] || fail "the install did not put $f into $1"; done; }
none_left() { local f; for f in "${installed_files[@]}"; do [ ! -e "$desk/$f" ] || fail "$1 left $f"; done; }
# The uninstaller waits, and hands back its exit code, only when it runs in
# place (_?=FOLDER); it then cannot delete itself.
uninstall_here() { timeout 90 wine "$desk/Tolvane-uninstall.exe" /S "$@" "_?=$deskw" >/dev/null 2>&1 </dev/null; }
# A fingerprint of everything in the desktop folder but the call log.
snapshot() { (cd "$desk" && find . -type f ! -name calls.log ! -name refresh.log -print0 | sort -z | xargs -0 md5sum); }
same_as_before() { diff <(echo "$before") <(snapshot) >"$work/snapshot.diff" || { cat "$work/snapshot.diff"; return 1; }; }
# Runs "$@" while another program holds $1 open without sharing it.
holder_pid=""
host_pid=""
hold() {
  : >"$work/holding"
  # Emptied here, not by the redirection below: that happens in the child,
  # which may come after the first look, and the look would then find the
  # word of the previous holder.
  : >"$work/hold.out"
  wine "$bin/hold_file.exe" "$(win "$1")" --while "$(win "$work/holding")" >"$work/hold.out" 2>/dev/null </dev/null &
  holder_pid=$!
  for _ in $(seq 1 100); do grep -q held "$work/hold.out" 2>/dev/null && return 0; sleep 0.2; done
  fail "hold_file did not hold $1"
}
release() { rm -f "$work/holding"; wait "$holder_pid" 2>/dev/null; holder_pid=""; }
# Runs "$@" (and hands back its exit code) while watch_windows notes every
# window that any program shows; fails the test on one.
without_windows() {
  local watcher rc
  : >"$work/watching"
  : >"$work/watch.out"
  wine "$bin/watch_windows.exe" "$(win "$work/watching")" >"$work/watch.out" 2>/dev/null </dev/null &
  watcher=$!
  for _ in $(seq 1 100); do grep -q watching "$work/watch.out" 2>/dev/null && break; sleep 0.2; done
  grep -q watching "$work/watch.out" || fail "watch_windows did not start"
  "$@"; rc=$?
  rm -f "$work/watching"
  wait "$watcher" || fail "a window was shown while $1 ran: $(grep 'window:' "$work/watch.out" | tr '\n' ' ')"
  return $rc
}
# A silent install by an administrator whose own registry names no HotSync
# Manager (the HotSync user is another account), into the folder given with
# /D=: nothing is shown, the conduit works, and the registered quiet-uninstall
# command removes every file; both exit with 0.
silent_install_for_another_account() {
  local book="$1" rc
  quiet wine reg delete "$core" /v HotSyncPath /f
  without_windows run_line "\"$(win "$bin/Tolvane-setup.exe")\" /S /D=$deskw"; rc=$?
  [ $rc -eq 0 ] || fail "without HotSyncPath, Setup /S /D=$deskw exits with $rc"
  all_installed "$deskw (no HotSyncPath)"
  conduits | grep -qF "name $deskw\\Tolvane.dll" || fail "without HotSyncPath the conduit is not registered: $(conduits)"
  (cd "$work" && quiet wine "$desk/tolvane-queue.exe" add Alice "$(win "$book")") || fail "queue tool add Alice"
  (cd "$desk" && quiet wine ./hotsync.exe sync Alice) || fail "the HotSync failed"
  cmp -s "$desk/Cards/Volume1/Palm/Launcher/$(basename "$book")" "$book" || fail "the HotSync did not put $(basename "$book") on the card"
  without_windows run_line "$(quiet_uninstall_line)"; rc=$?
  [ $rc -eq 0 ] || fail "without HotSyncPath the quiet-uninstall command exits with $rc"
  for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 0.5; done
  none_left "the quiet uninstall without HotSyncPath"
  conduits | grep -q "^tVan " && fail "the quiet uninstall without HotSyncPath left the conduit registered"
  quiet wine reg add "$core" /v HotSyncPath /d "$deskw\\hotsync.exe" /f
}
sendto_link() { find "$WINEPREFIX/drive_c/users" -path '*SendTo*' -name 'Tolvane card queue.lnk' | head -1; }
menu_link() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Tolvane Queue.lnk' 2>/dev/null | head -1; }
users_menu_link() { find "$WINEPREFIX/drive_c/users" -path '*Start Menu*' -name 'Tolvane Queue.lnk' 2>/dev/null | head -1; }

previous=$(hotsync_path)
cleanup() {
  [ -z "$holder_pid" ] || release
  [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null
  if [ -n "$previous" ]; then quiet wine reg add "$core" /v HotSyncPath /d "$previous" /f
  else quiet wine reg delete "$core" /v HotSyncPath /f; fi
  rm -rf "$work" "$foreign_temp"
  [ "$mode" = win32 ] || wineserver -k
}
trap cleanup EXIT

quiet wine reg delete "$uninstall_key" /f  # left by an earlier run that failed

if [ "$mode" = win64 ]; then
  setup_caption="Tolvane $(sed -n 's/^project(Tolvane VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt") Setup"
  deskw='C:\Program Files (x86)\Palm Desktop'
  desk="$WINEPREFIX/drive_c/Program Files (x86)/Palm Desktop"
  rm -rf "$desk"
  quiet wine reg delete "$uninstall_key" /reg:32 /f
  quiet wine "$bin/desktop-setup.exe" "$deskw" || fail "desktop-setup"
  [ "$(hotsync_path)" = "$deskw\\hotsync.exe" ] || fail "the stand-in desktop is not registered: $(hotsync_path)"
  printf 'a book\n' >"$work/a book.pdb"

  setup; rc=$?
  [ $rc -eq 0 ] || fail "silent install into $deskw exits with $rc"
  all_installed "$deskw"
  conduits | grep -qF "name $deskw\\Tolvane.dll" || fail "the conduit is registered from the wrong file: $(conduits)"
  quiet wine reg query "$uninstall_key" /reg:32 /v QuietUninstallString || fail "no Add/Remove Programs entry in the 32-bit view"
  quiet wine reg query "$uninstall_key" /reg:64 && fail "an Add/Remove Programs entry in the 64-bit view"
  ok "64-bit Windows: silent install into $deskw, conduit registered, Add/Remove Programs in the 32-bit view only"

  run_line "\"$(win "$bin/Tolvane-setup.exe")\" /S /D=$deskw"; rc=$?
  [ $rc -eq 0 ] || fail "Setup with /D=$deskw given last and unquoted exits with $rc"
  ok "64-bit Windows: /D= with spaces, last and unquoted, installs there"

  (cd "$work" && quiet wine "$desk/tolvane-queue.exe" add Alice "$(win "$work/a book.pdb")") || fail "queue tool add Alice"
  (cd "$desk" && quiet wine ./hotsync.exe sync Alice) || fail "the HotSync failed"
  cmp -s "$desk/Cards/Volume1/Palm/Launcher/a book.pdb" "$work/a book.pdb" || fail "the HotSync did not put \"a book.pdb\" on the card"
  ok "64-bit Windows: a queued file arrives on the card at the 32-bit HotSync Manager's HotSync"

  # Setup as a person runs it: its folder page, then the progress page. The
  # folder is one that every user may write into: Setup asks first.
  chmod o+w "$desk"
  wine "$bin/Tolvane-setup.exe" >/dev/null 2>&1 </dev/null &
  setup_pid=$!
  quiet wine "$bin/press_button.exe" "$setup_caption: Installation Folder" "&Install" || fail "no folder page with Install"
  quiet wine "$bin/press_button.exe" "$setup_caption" "&Yes" || fail "Setup did not ask about a folder that others may change"
  quiet wine "$bin/press_button.exe" "$setup_caption: Completed" "&Close" || fail "the progress page did not end with Completed and Close"
  wait "$setup_pid"; rc=$?
  chmod o-w "$desk"
  [ $rc -eq 0 ] || fail "Setup through its pages exits with $rc"
  ok "64-bit Windows: Setup through its pages asks about a folder that others may change, and installs"

  # The uninstaller through its pages, as a person runs it: Uninstall
  # without a look at the box keeps every user's queue.
  wine "$desk/Tolvane-uninstall.exe" >/dev/null 2>&1 </dev/null
  quiet wine "$bin/press_button.exe" "Tolvane Uninstall" "&Uninstall" || fail "no uninstaller page with Uninstall"
  quiet wine "$bin/press_button.exe" "Tolvane Uninstall: Completed" "&Close" || fail "the uninstaller did not end with Completed and Close"
  for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 0.5; done
  none_left "the uninstaller"
  conduits | grep -q "^tVan " && fail "the conduit is still registered: $(conduits)"
  quiet wine reg query "$uninstall_key" /reg:32 && fail "the Add/Remove Programs entry is still there"
  [ -f "$desk/Alice/Tolvane/Tolvane.ini" ] || fail "the uninstaller's pages deleted Alice's Tolvane folder without being asked"
  ok "64-bit Windows: the uninstaller through its pages removes every installed file and the entry; Alice's settings stay"

  printf 'another book\n' >"$work/another book.pdb"
  silent_install_for_another_account "$work/another book.pdb"
  ok "64-bit Windows, no HotSyncPath: Setup /S /D= and the quiet uninstall exit with 0 and show no window; the HotSync installs a queued file"
  echo "$checks checks passed"
  exit 0
fi

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
# A Palm Desktop without one of the libraries the conduit loads: loaded
# there, the conduit would show a box that a silent install never answers.
mkdir -p "$work/partial"
(cd "$desk" && cp CONDMGR.DLL userdata.dll hslog20.dll sync20.dll instaide.dll hsapi.dll hotsync.exe "$work/partial/")
partial_before=$(ls -A "$work/partial")
without_windows run_line "\"$(win "$bin/Tolvane-setup.exe")\" /S /LOG=$(win "$work/partial.log") /D=$(win "$work/partial")"; rc=$?
[ $rc -eq 2 ] || fail "into a Palm Desktop folder without VFSAPI.dll the installer exits with $rc, not 2"
grep -q 'lacks VFSAPI.dll (the VFS library)' "$work/partial.log" || fail "Setup's log does not name the missing library: $(cat "$work/partial.log")"
[ "$(ls -A "$work/partial")" = "$partial_before" ] || fail "a refused install changed the folder without VFSAPI.dll: $(ls -A "$work/partial")"
ok "a Palm Desktop folder without VFSAPI.dll, no HotSyncPath: exit code 2, no window, nothing installed"
quiet wine reg add "$core" /v HotSyncPath /d "$deskw\\hotsync.exe" /f

# A quoted /D=, which Windows installers do not read, stops Setup instead of
# installing into the folder that the registry names.
run_line "\"$(win "$bin/Tolvane-setup.exe")\" /S \"/D=$(win "$work/empty")\""; rc=$?
[ $rc -eq 5 ] || fail "a quoted /D= makes Setup exit with $rc, not 5"
[ ! -e "$desk/Tolvane.dll" ] && [ ! -e "$work/empty/Tolvane.dll" ] || fail "Setup installed although /D= was quoted"
without_windows run_line "\"$(win "$bin/Tolvane-setup.exe")\" /D=$(win "$work/empty") /S"; rc=$?
[ $rc -eq 5 ] || fail "a /D= before /S makes Setup exit with $rc, not 5"
[ ! -e "$desk/Tolvane.dll" ] && [ ! -e "$work/empty/Tolvane.dll" ] || fail "Setup installed although /D= was not last"
ok "quoted /D=, or /D= before /S: exit code 5 (silent), nothing installed"

# A first install whose registration the Conduit Manager refuses takes its
# files away again and leaves no entry behind.
cp "$desk/desktop.ini" "$work/desktop.ini"
printf '\r\n[FailEntry]\r\nCmSetCreatorPriority=-1008\r\n' >>"$desk/desktop.ini"
setup; rc=$?
cp "$work/desktop.ini" "$desk/desktop.ini"
[ $rc -eq 3 ] || fail "a refused first registration makes the installer exit with $rc, not 3"
none_left "a refused first install"
conduits | grep -q "^tVan " && fail "a refused first install left an entry: $(conduits)"
quiet wine reg query "$uninstall_key" && fail "a refused first install made an Add/Remove Programs entry"
ok "refused first registration: exit code 3, no file and no entry left"

# First install, into a Palm Desktop folder that every user may write into
# (a silent Setup names it in its details and goes on). The helper runs
# from a folder of its own that Setup made inside its temporary folder.
chmod o+w "$desk"
WINEDEBUG=+loaddll wine "$bin/Tolvane-setup.exe" /S "/LOG=$(win "$work/setup.log")" >"$work/setup.out" 2>&1 </dev/null; rc=$?
chmod o-w "$desk"
[ $rc -eq 0 ] || fail "silent install into a folder that others may write exits with $rc"
grep -qF "Warning: others than the administrators may change the Palm Desktop folder $deskw\\ or its libraries: Everyone." "$work/setup.log" &&
  grep -q 'is installed in' "$work/setup.log" || fail "Setup's log does not warn of the shared folder: $(cat "$work/setup.log")"
helper_runs=$(grep -i 'loaddll.*Loaded.*tolvane-register\.exe' "$work/setup.out" | tr -d '\r')
[ -n "$helper_runs" ] || fail "Setup ran no registration helper"
grep -qiv 'ns[^\\]*\.tmp\\\\helper[1-9]\\\\tolvane-register' <<<"$helper_runs" &&
  fail "the helper ran from elsewhere than its own folder in Setup's temporary folder: $helper_runs"
all_installed "the Palm Desktop folder"
conduits | grep -q "^tVan .*title \"Tolvane\"" || fail "hotsync list does not show the conduit: $(conduits)"
conduits | grep -qF "name $deskw\\Tolvane.dll" || fail "the conduit is registered from the wrong file: $(conduits)"
quiet wine reg query "$uninstall_key" /v UninstallString || fail "no Add/Remove Programs entry"
[ -n "$(sendto_link)" ] || fail "no Send To entry"
grep -qa 'tolvane-queue-window.exe' "$(sendto_link)" || fail "Send To does not start the queue window's program"
[ -n "$(menu_link)" ] || fail "no Start menu shortcut to the queue window"
grep -qa 'tolvane-queue-window.exe' "$(menu_link)" || fail "the Start menu shortcut does not start the queue window"
[ -z "$(users_menu_link)" ] || fail "the Start menu shortcut is one user's, not every user's: $(users_menu_link)"
ok "silent install: files in place, conduit registered, Add/Remove Programs, Send To and (every user's) Start menu entries"

# The helper run from a folder that holds a Conduit Manager of someone
# else's (one that lacks every entry), that folder current: it loads every
# Palm Desktop library from the conduit's folder only, as the loader's own
# list of loaded files shows.
mkdir -p "$work/planted"
cp "$desk/tolvane-register.exe" "$work/planted/"
cp "$desk/userdata.dll" "$work/planted/CONDMGR.DLL"
(cd "$work/planted" && WINEDEBUG=+loaddll wine ./tolvane-register.exe install "$deskw\\Tolvane.dll" >"$work/planted.out" 2>&1 </dev/null); rc=$?
[ $rc -eq 0 ] || fail "the helper beside a planted CONDMGR.DLL exits with $rc: $(grep -v ':loaddll:' "$work/planted.out")"
loaded=$(grep -i 'loaddll.*Loaded.*condmgr\.dll' "$work/planted.out" | tr -d '\r')
[ -n "$loaded" ] || fail "the helper loaded no CONDMGR.DLL"
grep -qi 'planted' <<<"$loaded" && fail "the helper loaded the planted CONDMGR.DLL: $loaded"
conduits | grep -qF "name $deskw\\Tolvane.dll" || fail "the helper beside a planted CONDMGR.DLL did not register: $(conduits)"
ok "the helper beside a planted CONDMGR.DLL loads the Palm Desktop folder's and registers"

# Queues of two users, then a second install over the first.
(cd "$work" && quiet wine "$desk/tolvane-queue.exe" add Alice "$(win "$work/book.pdb")") || fail "queue tool add Alice"
(cd "$work" && quiet wine "$desk/tolvane-queue.exe" add Bob "$(win "$work/book.pdb")") || fail "queue tool add Bob"
cp "$desk/Alice/Tolvane/Tolvane.ini" "$work/alice-before.ini"
: >"$desk/calls.log"
run_line_in_foreign_temp "\"$(win "$bin/Tolvane-setup.exe")\" /S"; rc=$?
[ $rc -eq 0 ] || fail "the second install, with a TEMP folder named in Cyrillic letters, exits with $rc"
cmp -s "$desk/Alice/Tolvane/Tolvane.ini" "$work/alice-before.ini" || fail "the second install changed Alice's queue"
[ -f "$desk/Bob/Tolvane/Tolvane.ini" ] || fail "the second install deleted Bob's queue"
! grep -q 'CmGetCreatorDirectory\|UmGetUserDirectory' "$desk/calls.log" || fail "the second install unregistered (it looked up the users' folders)"
conduits | grep -q "^tVan " || fail "after the second install the conduit is not registered"
ok "second install (TEMP folder named in Cyrillic letters): registered again, both users' queues kept, no unregistration"

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

# The HotSync Manager holds Tolvane.dll: Setup changes nothing and exits with 4.
before=$(snapshot)
hold "$desk/Tolvane.dll"
setup; rc=$?
release
[ $rc -eq 4 ] || fail "with Tolvane.dll held the installer exits with $rc, not 4"
same_as_before || fail "with Tolvane.dll held the installer changed the desktop folder"
ok "Tolvane.dll held: Setup exits with 4 and changes nothing"

# The same with the stand-in HotSync Manager itself holding the loaded
# conduit, its setup dialog open.
(cd "$desk" && exec wine ./hotsync.exe configure Alice >/dev/null 2>&1 </dev/null) &
host_pid=$!
for _ in $(seq 1 60); do
  quiet wine "$desk/tolvane-register.exe" check "$deskw\\Tolvane.dll"; [ $? -eq 4 ] && break; sleep 0.5
done
setup; rc=$?
kill "$host_pid" 2>/dev/null; wait "$host_pid" 2>/dev/null; host_pid=""
[ $rc -eq 4 ] || fail "with the HotSync Manager holding the conduit the installer exits with $rc, not 4"
same_as_before || fail "with the HotSync Manager holding the conduit the installer changed the desktop folder"
ok "the HotSync Manager holds the conduit: Setup exits with 4 and changes nothing"

# The uninstaller with the library held, and with a Conduit Manager that
# refuses to drop the entry: nothing removed, the uninstaller stays, exit
# code 4 and 3; every user's Tolvane folder as it was.
hold "$desk/Tolvane.dll"
uninstall_here; rc=$?
release
[ $rc -eq 4 ] || fail "with Tolvane.dll held the uninstaller exits with $rc, not 4"
same_as_before || fail "with Tolvane.dll held the uninstaller removed something"
conduits | grep -q "^tVan " || fail "with Tolvane.dll held the uninstaller unregistered the conduit"
cp "$desk/desktop.ini" "$work/desktop.ini"
printf '\r\n[FailEntry]\r\nCmRemoveConduitByCreatorID=-1005\r\n' >>"$desk/desktop.ini"
uninstall_here; rc=$?
cp "$work/desktop.ini" "$desk/desktop.ini"
[ $rc -eq 3 ] || fail "a refused unregistration makes the uninstaller exit with $rc, not 3"
same_as_before || fail "a refused unregistration removed something"
conduits | grep -q "^tVan " || fail "a refused unregistration unregistered the conduit"
quiet wine reg query "$uninstall_key" || fail "a refused unregistration removed the Add/Remove Programs entry"
[ -n "$(sendto_link)" ] || fail "a refused unregistration removed the Send To entry"
ok "uninstaller with the library held (exit 4) or refused (exit 3): nothing removed, uninstaller kept"

# Keep the queues: the files and the entry go, every user's folder stays.
user_folders() { (cd "$desk" && find Alice/Tolvane Bob/Tolvane -print0 | sort -z | xargs -0 ls -ld --time-style=+%s | awk '{print $1, $5, $6, $7}'; find Alice/Tolvane Bob/Tolvane -type f -print0 | sort -z | xargs -0 md5sum); }
user_folders >"$work/folders-before"
run_line_in_foreign_temp "\"$(win "$desk/Tolvane-uninstall.exe")\" /S /KEEPQUEUES"
for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 1; done
[ ! -e "$desk/Tolvane.dll" ] && [ ! -e "$desk/Tolvane-uninstall.exe" ] || fail "uninstalling with /KEEPQUEUES left our files"
conduits | grep -q "^tVan " && fail "uninstalling with /KEEPQUEUES left the conduit registered"
[ -s "$work/folders-before" ] || fail "no user's Tolvane folder to keep"
user_folders | cmp -s - "$work/folders-before" || fail "uninstalling with /KEEPQUEUES changed a user's Tolvane folder"
ok "uninstall with /KEEPQUEUES (TEMP folder named in Cyrillic letters): conduit and files gone, every user's Tolvane folder as it was"
setup; rc=$?
[ $rc -eq 0 ] && conduits | grep -q "^tVan " || fail "installing after a kept uninstall failed ($rc)"
tr -d '\r' <"$desk/Bob/Tolvane/Tolvane.ini" | grep -q '^DB1=' || fail "Bob's queue did not survive the kept uninstall and the new install"
ok "install after the kept uninstall: registered, Bob's queued file still queued"

# The registered quiet-uninstall command, as a package manager runs it,
# while the queue window is open: it waits and says that it failed.
quiet_line=$(quiet_uninstall_line)
[ -n "$quiet_line" ] || fail "no QuietUninstallString"
before=$(snapshot)
wine "$desk/tolvane-queue-window.exe" --user Alice >/dev/null 2>&1 </dev/null &
host_pid=$!
for _ in $(seq 1 60); do
  quiet wine "$desk/tolvane-register.exe" check "$deskw\\tolvane-queue-window.exe"; [ $? -eq 4 ] && break; sleep 0.5
done
run_line "$quiet_line"; rc=$?
kill "$host_pid" 2>/dev/null; wait "$host_pid" 2>/dev/null; host_pid=""
[ $rc -eq 4 ] || fail "with the queue window open the quiet-uninstall command exits with $rc, not 4"
same_as_before || fail "with the queue window open the quiet-uninstall command removed something"
ok "quiet-uninstall command with the queue window open: exit code 4, nothing removed"

# An option appended to the command, as deployment tools append /norestart,
# lands in the folder that _?= names: nothing is removed, and it says so.
without_windows run_line "$quiet_line /norestart"; rc=$?
[ $rc -eq 5 ] || fail "the quiet-uninstall command with /norestart appended exits with $rc, not 5"
same_as_before || fail "the quiet-uninstall command with /norestart appended removed something"
conduits | grep -q "^tVan " || fail "the quiet-uninstall command with /norestart appended unregistered the conduit"
quiet wine reg query "$uninstall_key" || fail "the quiet-uninstall command with /norestart appended removed the Add/Remove Programs entry"
ok "quiet-uninstall command with /norestart appended: exit code 5, nothing removed"

# The same command: every user's Tolvane folder stays as it was, it waits
# for the real outcome, and the uninstaller goes. It never runs the installed
# registration helper (here a file that runs nowhere), only its own copy.
user_folders >"$work/folders-before"
printf 'MZ not a program\r\n' >"$desk/tolvane-register.exe"
run_line "$quiet_line"; rc=$?
[ $rc -eq 0 ] || fail "the quiet-uninstall command exits with $rc"
conduits | grep -q "^tVan " && fail "the quiet-uninstall command left the conduit registered"
user_folders | cmp -s - "$work/folders-before" || fail "the silent uninstall changed a user's Tolvane folder"
for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 0.5; done
none_left "the quiet-uninstall command"
ok "quiet-uninstall command: exit code 0, every user's Tolvane folder as it was, all our files gone"

# Asked to, the silent uninstaller also deletes every user's Tolvane folder;
# it runs from a copy of itself and returns at once.
# Alice has put a link to another folder into her Tolvane folder: the
# administrator's uninstall removes at most the link, never what it points at.
setup; rc=$?
[ $rc -eq 0 ] || fail "installing after the quiet uninstall exits with $rc"
mkdir -p "$work/decoy/inner"
printf 'keep\n' >"$work/decoy/keep.txt"
printf 'keep too\n' >"$work/decoy/inner/keep.txt"
decoy_before=$(cd "$work/decoy" && find . -print0 | sort -z | xargs -0 ls -ld --time-style=+%s | awk '{print $1, $5, $6, $7}')
ln -s "$work/decoy" "$desk/Alice/Tolvane/link"
quiet wine "$desk/Tolvane-uninstall.exe" /S /DELETEQUEUES
for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 1; done
none_left "the uninstaller"
conduits | grep -q "^tVan " && fail "the conduit is still registered: $(conduits)"
[ "$(cd "$work/decoy" && find . -print0 | sort -z | xargs -0 ls -ld --time-style=+%s | awk '{print $1, $5, $6, $7}')" = "$decoy_before" ] ||
  fail "deleting Alice's Tolvane folder changed the folder her link points at"
[ -z "$(find "$desk" -name '*.uninstalling')" ] || fail "the uninstall left $(find "$desk" -name '*.uninstalling')"
# Wine cannot remove a link to a folder (Windows can): there the link alone may stay.
[ ! -e "$desk/Alice/Tolvane" ] || [ "$(ls -A "$desk/Alice/Tolvane")" = link ] || fail "Alice's Tolvane folder still holds $(ls -A "$desk/Alice/Tolvane")"
rm -f "$desk/Alice/Tolvane/link"
[ ! -e "$desk/Bob/Tolvane" ] || fail "Bob's Tolvane folder is still there"
for f in CONDMGR.DLL userdata.dll hotsync.exe desktop.ini; do
  [ -e "$desk/$f" ] || fail "the uninstaller removed the Palm Desktop's $f"
done
quiet wine reg query "$uninstall_key" && fail "the Add/Remove Programs entry is still there"
[ -z "$(sendto_link)" ] || fail "the Send To entry is still there"
[ -z "$(menu_link)" ] || fail "the Start menu shortcut is still there"
ok "uninstall /S /DELETEQUEUES: conduit, files, users' Tolvane folders, Send To and Start menu entries gone; a link's target and the Palm Desktop untouched"

# The Palm Desktop uninstalled first: nothing left to unregister, so the
# uninstaller removes Tolvane's files all the same.
setup; rc=$?
[ $rc -eq 0 ] || fail "installing again for the last case exits with $rc"
mv "$desk/CONDMGR.DLL" "$work/CONDMGR.DLL"
uninstall_here; rc=$?
mv "$work/CONDMGR.DLL" "$desk/CONDMGR.DLL"
[ $rc -eq 0 ] || fail "without the Palm Desktop's CONDMGR.DLL the uninstaller exits with $rc, not 0"
[ ! -e "$desk/Tolvane.dll" ] && [ ! -e "$desk/tolvane-queue.exe" ] || fail "without the Palm Desktop the uninstaller left our files"
for _ in $(seq 1 60); do [ -e "$desk/Tolvane-uninstall.exe" ] || break; sleep 0.5; done
[ ! -e "$desk/Tolvane-uninstall.exe" ] || fail "run in place, the uninstaller was not deleted once it had ended"
ok "the Palm Desktop gone first: the uninstaller still removes Tolvane"

printf 'second book\n' >"$work/second book.pdb"
silent_install_for_another_account "$work/second book.pdb"
ok "no HotSyncPath: Setup /S /D= and the quiet uninstall exit with 0 and show no window; the HotSync installs a queued file"
echo "$checks checks passed"
