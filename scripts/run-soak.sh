#!/usr/bin/env bash
# The soak test: one host process loads, runs, configures and unloads the
# shipped conduit SOAK_CYCLES times (1000 by default) under the build's own
# Wine prefix and a virtual X server, and ends with the line
#   soak_growth handles=H gdi=G user=U private_kb=P heap_kb=K modules=M tls=T palm_loads=L
# Options go to soak_test (see tests/soak/Soak.cpp), e.g. --self-test or
# --self-test-give-back.
set -euo pipefail
build=$(cd "${1:?test build directory}" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
export SOAK_CYCLES="${SOAK_CYCLES:-1000}"
exec timeout 7200 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . "$1/wine-env.sh" "$2"
  rc=0
  (cd "$2" && wine bin/soak_test.exe "${@:3}" </dev/null) || rc=$?
  wineserver -k || true
  exit $rc' _ "$here" "$build" "$@"
