#!/usr/bin/env bash
# Reads every file that the installer ships, as a careful user's tools would,
# and fails on each one that was not built for shipping: an import that
# Windows XP SP3 lacks, debug data, a link time stamp, a path of the build
# machine (two builds in two folders would differ), no version resource
# of this version, no manifest naming Windows 10 (the queue window's also
# Common Controls 6; no program asks for administrator rights), a conduit
# without its own manifest for its dialogs (resource 3, Common Controls 6), or more than a
# few dozen trap instructions (the test build's undefined-behaviour checks
# end the program without a word). The installer, whose stub comes made, is
# checked for its version resource and manifest.
# Which files, and which checks each takes, the ship build's list says
# (shipped-files.txt, made from cmake/Shipped.cmake), which also names the
# version they must carry; a file it names that is missing fails.
# Usage: check-shipped.sh SHIP_DIR ALLOW_LIST SOURCE_DIR [LIST]
#   (LIST: SHIP_DIR/shipped-files.txt unless given; scripts/release.sh checks
#   the release's files with the release build's list)
set -euo pipefail
ship=${1:?folder of the shipped files}
allow=${2:?allow-list}
source=${3:?source tree}
list=${4:-$ship/shipped-files.txt}
[ -f "$list" ] || { echo "no list of the shipped files: $list" >&2; exit 1; }
version=$(awk '$1 == "version" { print $2 }' "$list")
[ -n "$version" ] || { echo "$list names no version" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
objdump=i686-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
max_traps=40
windows10='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'

# file and checks, for every installed file and the installer
shipped=$(awk '$1 == "installed" || $1 == "installer" { $1 = ""; print }' "$list")
[ -n "$shipped" ] || { echo "$list names no file" >&2; exit 1; }

failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$file: $*"; failures=$((failures + 1)); }

# The resources as windres writes them back as text, one string per line.
resources() { { "$windres" -i "$1" -O rc 2>/dev/null || true; } | tr -d '"'; }

check_built() {
  local unexpected stamp header traps paths debug
  unexpected=$("$here/list-imports.sh" "$path" | sort -u | comm -23 - <(grep -v '^#' "$allow" | sort -u))
  [ -z "$unexpected" ] || fail "imports what Windows XP SP3 lacks (or nobody checked): $(tr '\n' ' ' <<<"$unexpected")"
  debug=$("$objdump" -h "$path" | grep -c ' \.debug' || true)
  [ "$debug" -eq 0 ] || fail "carries $debug debug sections"
  header=$(od -An -tu4 -j 60 -N 4 "$path" | tr -d ' ')
  stamp=$(od -An -tu4 -j $((header + 8)) -N 4 "$path" | tr -d ' ')
  [ "$stamp" = 0 ] || fail "carries a link time stamp ($stamp)"
  paths=$({ strings -a "$path"; strings -a -el "$path"; } | grep -cF -e "$source" -e "$ship" || true)
  [ "$paths" -eq 0 ] || fail "names a folder of the build machine ($paths times)"
  traps=$("$objdump" -d "$path" | grep -c $'\tud2' || true)
  [ "$traps" -le $max_traps ] || fail "has $traps trap instructions (at most $max_traps)"
}

check_version() {
  local rc
  rc=$(resources "$path")
  grep -q "VALUE FileVersion, $version" <<<"$rc" || fail "no version resource with FileVersion $version"
  grep -q "VALUE ProductName, Tolvane" <<<"$rc" || fail "no ProductName in its version resource"
  grep -q "VALUE FileDescription, ." <<<"$rc" || fail "no FileDescription in its version resource"
  grep -q "VALUE LegalCopyright, ." <<<"$rc" || fail "no copyright line in its version resource"
}

# The manifests, raw: windres would show one written as UTF-8 text as wide
# characters.
manifest() {
  "$windres" -i "$path" -O res -o "$work/resources.res" 2>/dev/null || return 0
  tr -d '\0' <"$work/resources.res" | tr '\r\n' '  ' | grep -ao '<assembly .*</assembly>' || true
}

check_manifest() {
  local text
  text=$(manifest)
  [ -n "$text" ] || { fail "has no manifest"; return; }
  grep -qF "supportedOS Id=\"$windows10\"" <<<"$text" || fail "its manifest does not name Windows 10 and 11"
  if [ "$file" != Tolvane-setup.exe ] && grep -q '<requestedExecutionLevel' <<<"$text"; then
    fail "its manifest asks for an execution level: it would not be virtualised as the HotSync Manager is"
  fi
}

# A library's manifest for its dialogs is resource 3. Resource 1 would be a
# program's; resource 2 the loader applies while the library and every
# library its DllMain loads start, and a manifest it cannot resolve there
# fails the load.
check_library() {
  local rc
  rc=$(resources "$path")
  grep -q '^3 24 ' <<<"$rc" || fail "has no manifest of its own (resource 3)"
  if grep -q '^[12] 24 ' <<<"$rc"; then fail "has a manifest that the loader applies (resource 1 or 2)"; fi
}

check_controls6() {
  manifest | grep -o '<assemblyIdentity [^>]*Common-Controls[^>]*>' | grep -q 'version="6.0.0.0"' \
    || fail "its manifest does not ask for Common Controls 6"
}

while read -r file checks; do
  [ -n "$file" ] || continue
  path="$ship/$file"
  [ -f "$path" ] || { fail "missing"; continue; }
  for check in $checks; do "check_$check"; done
done <<<"$shipped"
[ $failures -eq 0 ] && echo "every shipped file ($(awk '{ print $1 }' <<<"$shipped" | tr '\n' ' ')) built for shipping, described and with its manifest"
exit $((failures > 0))
