#!/usr/bin/env bash
# Runs the whole test suite N times in a row in a clean clone of the
# committed tree (the same commit, built once, as CI builds it) and reports
# each run's suite time, its longest test against that test's timeout, and
# every test that failed even once, with the output it failed with.
# Usage: scripts/soak-suite.sh N [DIR]
#   DIR (default build/soak-suite) holds the clone, each run's log and
#   report.txt; it is made afresh.
set -euo pipefail
runs=${1:?how many runs}
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${2:-$top/build/soak-suite}
case "$runs" in ''|*[!0-9]*) echo "soak-suite: N must be a number, not $runs" >&2; exit 1 ;; esac

rm -rf "$dir"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
commit=$(git -C "$top" rev-parse HEAD)
git clone --quiet --no-hardlinks "$top" "$dir/clone"
git -C "$dir/clone" checkout --quiet "$commit"
echo "soak-suite: $runs runs of the suite at $(git -C "$top" log -1 --format='%h %s' "$commit" | cut -c1-72)"
echo "soak-suite: building the clone in $dir/clone/build (log: $dir/build.log)"
make -C "$dir/clone" build >"$dir/build.log" 2>&1 || { tail -n 40 "$dir/build.log"; exit 1; }
# Each test's timeout: its own TIMEOUT, else (none, or 0) the runner's 120 s.
(cd "$dir/clone/build/test" && ctest --show-only=json-v1) >"$dir/tests.json"
python3 - "$dir/tests.json" >"$dir/timeouts.txt" 2>/dev/null <<'PY' || true
import json, sys
for t in json.load(open(sys.argv[1]))["tests"]:
    timeout = next((p["value"] for p in t.get("properties", []) if p["name"] == "TIMEOUT"), 120)
    print(t["name"], int(float(timeout)))
PY

report="$dir/report.txt"
: >"$report"
failed_any=0
for run in $(seq 1 "$runs"); do
  log="$dir/run-$run.log"
  start=$(date +%s)
  rc=0
  "$dir/clone/scripts/run-tests.sh" "$dir/clone/build/test" >"$log" 2>&1 || rc=$?
  seconds=$(( $(date +%s) - start ))
  # "Test #n: NAME ....   Passed   1.23 sec" (and Failed, Timeout, ...).
  awk -v run="$run" -v seconds="$seconds" -v rc="$rc" -v timeouts="$dir/timeouts.txt" '
    BEGIN { while ((getline line < timeouts) > 0) { split(line, f, " "); limit[f[1]] = f[2] } }
    / Test +#[0-9]+: / {
      name = $0; sub(/.* Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
      time = $0; sub(/ sec.*/, "", time); sub(/.* /, "", time)
      t = (name in limit && limit[name] > 0) ? limit[name] : 120
      if (time / t > worst) { worst = time / t; worstName = name; worstTime = time; worstLimit = t }
      if ($0 !~ /Passed|Not Run/) failed = failed " " name
      tests++
    }
    /Total Test time \(real\)/ { total = $(NF - 1) }
    /^Wine itself crashed/ { crashes = $0 }
    END {
      printf "run %d: exit %d, %d tests, suite %.0f s (run-tests.sh %d s), longest against its timeout: %s %.1f s of %d s (%.0f%%)%s\n",
             run, rc, tests, total, seconds, worstName, worstTime, worstLimit, 100 * worst,
             failed == "" ? "" : "; failed:" failed
      if (crashes != "") print "  " crashes
    }' "$log" | tee -a "$report"
  [ "$rc" -eq 0 ] || failed_any=1
done

# Every test that failed even once, with the output CTest kept of it.
failures=$(grep -h -E ' Test +#[0-9]+: ' "$dir"/run-*.log | grep -v -E 'Passed|Not Run' |
           sed -E 's/.* Test +#[0-9]+: ([^ ]+).*/\1/' | sort | uniq -c || true)
if [ -z "$failures" ]; then
  echo "soak-suite: every test passed in each of the $runs runs" | tee -a "$report"
else
  echo "soak-suite: tests that failed at least once (times failed, test):" | tee -a "$report"
  echo "$failures" | tee -a "$report"
  for test in $(awk '{ print $2 }' <<<"$failures"); do
    for log in "$dir"/run-*.log; do
      grep -q -E " Test +#[0-9]+: $test .*(Failed|Timeout|Exception|Not Run)" "$log" || continue
      echo "--- $test in $(basename "$log" .log):" | tee -a "$report"
      awk -v test="$test" '
        $0 ~ " Test +#[0-9]+: " test " " { show = 1; print; next }
        show && (/^ *Start +[0-9]+:/ || / Test +#[0-9]+: /) { show = 0 }
        show { print }' "$log" | head -n 200 | tee -a "$report"
    done
  done
fi
echo "soak-suite: report in $report"
exit $failed_any
