#!/usr/bin/env bash
# Shows that a release can be checked against its source: clones the
# current commit twice, into two folders of different names, makes a release
# in each (scripts/release.sh) and compares the two, file by file and by
# their SHA256SUMS. Exit code 1 when anything differs.
# Usage: scripts/release-check.sh        (make release-check)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$top" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-release-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

for clone in first "second clone"; do
  git clone --quiet --no-hardlinks "$top" "$work/$clone"
  git -C "$work/$clone" checkout --quiet "$commit"
  echo "== release of $commit in $work/$clone"
  (cd "$work/$clone" && scripts/release.sh)
done
if diff -r "$work/first/dist" "$work/second clone/dist"; then
  echo "release-check: both releases of $commit are alike byte for byte:"
  cat "$work/first/dist/SHA256SUMS"
else
  echo "release-check: the two releases of $commit differ" >&2
  exit 1
fi
