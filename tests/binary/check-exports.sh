#!/usr/bin/env bash
# Checks the shipped conduit's export table (exactly ten exports, ordinals 1
# to 10 in order, undecorated names, module name) and that every import is a
# Windows system function that Windows XP SP3 has.
set -euo pipefail
dll=${1:?Tolvane.dll}
allow=${2:?allow-list}
here=$(cd "$(dirname "$0")" && pwd)
fail=0
dump=$(i686-w64-mingw32-objdump -p "$dll")

name=$(sed -n 's/^Name \t*[0-9a-f]* \(.*\)$/\1/p' <<<"$dump")
[ "$name" = "Tolvane.dll" ] || { echo "export module name is '$name', not Tolvane.dll"; fail=1; }

expected="1 DllRegisterServer
2 DllUnregisterServer
3 DllGetClassObject
4 DllCanUnloadNow
5 GetConduitName
6 GetConduitVersion
7 GetConduitInfo
8 ConfigureConduit
9 CfgConduit
10 OpenConduit"
# "[   N] Name" lines of the name table carry the zero-based ordinal index.
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" \
  | sed -n 's/^\t\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' | awk '{print $1 + 1, $2}' | sort -n)
if [ "$actual" != "$expected" ]; then
  echo "exports differ from the expected table:"; diff <(echo "$expected") <(echo "$actual") || true; fail=1
fi

unexpected=$("$here/list-imports.sh" "$dll" | sort -u | comm -23 - <(grep -v '^#' "$allow" | sort -u))
if [ -n "$unexpected" ]; then
  echo "imports outside the Windows XP SP3 allow-list:"; echo "$unexpected"; fail=1
fi
[ $fail -eq 0 ] && echo "exports and imports as expected"
exit $fail
