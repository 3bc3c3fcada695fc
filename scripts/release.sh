#!/usr/bin/env bash
# Builds a release from the committed tree into dist/: the installer
# Tolvane-VERSION-setup.exe, Tolvane-VERSION.zip with the shipped files for
# an install by hand, and SHA256SUMS over both. The build starts from an
# empty folder, and nothing in it depends on the time or the folder it was
# made in: two releases of one commit are alike byte for byte
# (scripts/release-check.sh shows it).
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
version=$(sed -n 's/^project(Tolvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The commit's own time stands for every date a file might otherwise take
# from the clock.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
export SOURCE_DATE_EPOCH

rm -rf "$build" "$dist"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-win32.cmake -DTOLVANE_SHIP=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" >/dev/null

mkdir -p "$dist/files"
shipped=(Tolvane.dll tolvane-queue.exe tolvane-queue-window.exe tolvane-register.exe)
for file in "${shipped[@]}"; do cp "$build/$file" "$dist/files/"; done
cp "$build/Tolvane-setup.exe" "$dist/Tolvane-$version-setup.exe"
# Each file in the zip with the commit's time and one mode, and nothing
# else of the build machine's (-X: no extra fields; TZ: the zip's local time).
(cd "$dist/files" && chmod 0644 "${shipped[@]}" && TZ=UTC touch -d "@$SOURCE_DATE_EPOCH" "${shipped[@]}" \
  && TZ=UTC zip -X -D -q "../Tolvane-$version.zip" "${shipped[@]}")
rm -rf "$dist/files"
(cd "$dist" && sha256sum "Tolvane-$version-setup.exe" "Tolvane-$version.zip" >SHA256SUMS)
echo "release $version in $dist/:"
(cd "$dist" && ls -l && cat SHA256SUMS)
