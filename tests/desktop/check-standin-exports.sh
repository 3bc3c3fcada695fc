#!/usr/bin/env bash
# Compares the export table of a stand-in library with its list in
# desktop/exports: exactly the listed names (less the one that a lacking
# build leaves out), each undecorated, and the library's own file name.
# Usage: check-standin-exports.sh OBJDUMP DLL LIST [LACKING_ENTRY]
set -euo pipefail
objdump=$1 dll=$2 list=$3 lacking=${4:-}

dump=$("$objdump" -p "$dll")
library=$(sed -n 's/^LIBRARY \(.*\)$/\1/p' "$list")
expected=$(grep -vE '^(#|LIBRARY |CONVENTION |UNSUPPORTED )' "$list" | cut -d' ' -f1 |
           { if [ -n "$lacking" ]; then grep -vxF "$lacking"; else cat; fi; } | sort)
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
         sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] \(.*\)$/\1/p' | sort)
name=$(sed -n 's/^Name[[:space:]]\+[0-9a-fA-F]\+[[:space:]]\+\(.*\)$/\1/p' <<<"$dump")

status=0
if [ "$name" != "$library" ]; then
  echo "$dll: export table names the library '$name', expected '$library'"
  status=1
fi
if [ -n "$lacking" ] && ! grep -qxF "$lacking" <(grep -vE '^(#|LIBRARY |CONVENTION |UNSUPPORTED )' "$list" | cut -d' ' -f1); then
  echo "$list has no entry $lacking to leave out"
  status=1
fi
if [ "$expected" != "$actual" ]; then
  echo "$dll: exports differ from $list (< expected, > exported):"
  diff <(echo "$expected") <(echo "$actual") || true
  status=1
fi
[ $status -eq 0 ] && echo "$dll: $(wc -l <<<"$actual") exports as listed"
exit $status
