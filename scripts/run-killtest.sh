#!/usr/bin/env bash
# The kill test: HotSyncs of a long queue ended at chosen VFS calls and at
# seeded random moments, under the build's own Wine prefix and a virtual X
# server. Options go to kill_test (see tests/kill/KillTest.cpp); defaults:
# 1000 files, 20 random moments, seed from KILL_SEED or 1, a 900 s budget.
# Then the same over an outbox of 200 files (kill_test outbox).
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
args=(--files 1000 --random 20 --seed "${KILL_SEED:-1}" --budget 900 "$@")
exec timeout 1900 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . "$1/wine-env.sh" "$2"
  rc=0
  (cd "$2" && wine bin/kill_test.exe run "${@:3}" </dev/null) || rc=$?
  (cd "$2" && wine bin/kill_test.exe outbox --files 200 --random 20 --seed "${KILL_SEED:-1}" --budget 600 \
    </dev/null) || rc=$?
  wineserver -k || true
  exit $rc' _ "$here" "$build" "${args[@]}"
