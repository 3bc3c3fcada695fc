#!/usr/bin/env bash
# Every source file of the folders that CMake builds is named in the
# CMakeLists.txt of its folder or of a folder above it (by its path from
# there), or by its path from the top as ${CMAKE_SOURCE_DIR}/path: the lists
# are explicit, and a file that none names would be left out of the build,
# its tests never run, without a word. Prints each such file.
# Usage: check-sources-listed.sh SOURCE_TREE
set -euo pipefail
cd "${1:?source tree}"
folders=(rtl ui palm conduit app tools desktop bench tests)

# Whether `list` names `path` as a whole word of its own.
names() {
  local escaped
  escaped=$(printf '%s' "$2" | sed 's/[][\.*^$+?(){}|/]/\\&/g')
  grep -Eq "(^|[[:space:](])${escaped}([[:space:])]|\$)" "$1"
}

listed() {
  local file=$1 dir
  dir=$(dirname "$file")
  while :; do
    if [ -f "$dir/CMakeLists.txt" ] && names "$dir/CMakeLists.txt" "${file#"$dir"/}"; then return 0; fi
    [ "$dir" = . ] && break
    dir=$(dirname "$dir")
  done
  for list in $(find "${folders[@]}" -name CMakeLists.txt) CMakeLists.txt; do
    if names "$list" "\${CMAKE_SOURCE_DIR}/$file"; then return 0; fi
  done
  return 1
}

unlisted=0
while IFS= read -r file; do
  if ! listed "$file"; then
    echo "not in any source list: $file"
    unlisted=$((unlisted + 1))
  fi
done < <(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.c' -o -name '*.S' \) | sort)
[ "$unlisted" -eq 0 ] && echo "every source file is listed"
exit $((unlisted > 0))
