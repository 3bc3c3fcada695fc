#!/usr/bin/env bash
# Prints "DLL FUNCTION" for every import of a PE file, DLL names in lower case.
set -euo pipefail
i686-w64-mingw32-objdump -p "$1" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { if (dll != "") print dll, $3 }
  /The Export Tables/ { dll = "" }'
