#!/usr/bin/env bash
# The randomized calls of the shipped conduit's exports, longer than the
# test suite makes them: TOLVANE_FUZZ_CALLS calls (default 20000) from seed
# TOLVANE_FUZZ_SEED (default: the time), under the build's Wine prefix.
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export TOLVANE_FUZZ_CALLS=${TOLVANE_FUZZ_CALLS:-20000}
export TOLVANE_FUZZ_SEED=${TOLVANE_FUZZ_SEED:-$(date +%s)}
echo "export fuzz: seed $TOLVANE_FUZZ_SEED, $TOLVANE_FUZZ_CALLS calls"
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . "$1/wine-env.sh" "$2"
  rc=0
  (cd "$2" && wine bin/integration_tests.exe --gtest_filter="ExportFuzz.*" </dev/null) || rc=$?
  wineserver -k || true
  exit $rc' _ "$here" "$build"
