#!/usr/bin/env bash
# Builds a release from the committed tree into dist/: the installer
# Tolvane-VERSION-setup.exe, Tolvane-VERSION.zip with the shipped files and
# a README.txt for an install by hand, and SHA256SUMS over both. The build starts from an
# empty folder, and nothing in it depends on the time or the folder it was
# made in: two releases of one commit are alike byte for byte
# (scripts/release-check.sh shows it). The version, the files and the
# build's configuration are the ones declared in CMake (cmake/Shipped.cmake,
# cmake/Ship.cmake); the release ends with the shipped-file check of what it
# put into dist/ (tests/binary/check-shipped.sh), and fails with it.
# Usage: scripts/release.sh        (make release)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${BUILD:-build}/release
dist=dist

if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release: the tree has changes that are not committed; a release is made from a commit." >&2
  exit 1
fi
# The commit's own time stands for every date a file might otherwise take
# from the clock.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
export SOURCE_DATE_EPOCH

rm -rf "$build" "$dist"
cmake -C cmake/Ship.cmake -S . -B "$build" --no-warn-unused-cli >/dev/null
cmake --build "$build" -j "${JOBS:-2}" >/dev/null
list="$build/shipped-files.txt"
version=$(awk '$1 == "version" { print $2 }' "$list")
mapfile -t shipped < <(awk '$1 == "installed" { print $2 }' "$list")
installer=$(awk '$1 == "installer" { print $2 }' "$list")

mkdir -p "$dist/files"
for file in "${shipped[@]}"; do cp "$build/$file" "$dist/files/"; done
cp "$build/$installer" "$dist/Tolvane-$version-setup.exe"
# The read-me with Windows line ends, for Notepad.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' installer/README.txt >"$dist/files/README.txt"
zipped=("${shipped[@]}" README.txt)
# Each file in the zip with the commit's time and one mode, and nothing
# else of the build machine's (-X: no extra fields; TZ: the zip's local time).
(cd "$dist/files" && chmod 0644 "${zipped[@]}" && TZ=UTC touch -d "@$SOURCE_DATE_EPOCH" "${zipped[@]}" \
  && TZ=UTC zip -X -D -q "../Tolvane-$version.zip" "${zipped[@]}")
rm -rf "$dist/files"
# What dist/ holds is what the shipped-file check reads: the zip's files and
# the installer under the names the list gives them.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
(cd "$check" && unzip -q "$top/$dist/Tolvane-$version.zip")
cp "$dist/Tolvane-$version-setup.exe" "$check/$installer"
if ! tests/binary/check-shipped.sh "$check" tests/binary/xp-imports.txt "$top" "$list"; then
  echo "release: a file in $dist/ fails the shipped-file check; the release is not made." >&2
  rm -rf "$dist"
  exit 1
fi
(cd "$dist" && sha256sum "Tolvane-$version-setup.exe" "Tolvane-$version.zip" >SHA256SUMS)
echo "release $version in $dist/:"
(cd "$dist" && ls -l && cat SHA256SUMS)
