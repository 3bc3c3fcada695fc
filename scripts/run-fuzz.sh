#!/usr/bin/env bash
# Fuzzes the settings-file reader and the path rules, built natively with
# clang, AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer.
#
#   run-fuzz.sh --short OUT   fixed seed, the corpus in fuzz/corpus and then
#                             a bounded number of mutations (the test suite)
#   run-fuzz.sh OUT [SECS]    each target for SECS seconds (default 300); the
#                             inputs that reach new code are merged into
#                             fuzz/corpus, to be committed with the tree
#
# Prints how many inputs each target tried. Exits non-zero on the first
# failure; libFuzzer leaves the input that failed as OUT/crash-*.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
short=0
if [ "${1:-}" = "--short" ]; then short=1; shift; fi
out=$(mkdir -p "${1:?output folder}" && cd "$1" && pwd)
seconds=${2:-300}
# target:corpus:inputs of a short run. The corpus reaches every check of
# both targets (each input goes through all of a target's checks) and every
# kind of input the long runs found; a short run replays it and then mutates
# it for a few thousand inputs more, where the long runs stopped finding new
# code (the settings text's checks take a few milliseconds an input under
# the sanitizers, the path rules' a few microseconds).
targets=(settings_text:ini:5000 path_rules:paths:30000)

# Each source is compiled once, when it is newer than its object.
flags=(-std=c++20 -Wall -Wextra -Werror -O1 -g -I"$here" -fsanitize=address,undefined,fuzzer-no-link
       -fno-sanitize-recover=all)
headers=("$here/rtl/IniText.h" "$here/rtl/IniEncoding.h" "$here/rtl/Text.h" "$here/rtl/Paths.h" "$here/app/PathRules.h"
         "$here/app/CardFolders.h" "$here/app/Settings.h" "$here/fuzz/Checks.h")
objects=()
for source in rtl/IniText.cpp rtl/IniEncoding.cpp rtl/Text.cpp app/PathRules.cpp app/CardFolders.cpp fuzz/Checks.cpp \
              fuzz/settings_text_fuzzer.cpp fuzz/path_rules_fuzzer.cpp; do
  object="$out/$(basename "$source" .cpp).o"
  if [ ! -f "$object" ] || [ -n "$(find "$here/$source" "${headers[@]}" -newer "$object")" ]; then
    clang++ "${flags[@]}" -c "$here/$source" -o "$object"
  fi
  objects+=("$object")
done
common=("${objects[@]:0:6}")
for entry in "${targets[@]}"; do
  target=${entry%%:*}
  clang++ -fsanitize=address,undefined,fuzzer "${common[@]}" "$out/${target}_fuzzer.o" -o "$out/$target"
done

total=0
for entry in "${targets[@]}"; do
  target=${entry%%:*}
  binary="$out/$target"
  rest=${entry#*:}
  corpus="$here/fuzz/corpus/${rest%%:*}"
  scratch="$out/new-$target"
  rm -rf "$scratch" && mkdir -p "$scratch"
  if [ $short -eq 1 ]; then
    limits=(-seed=1 -runs="${rest##*:}")
  else
    limits=(-max_total_time="$seconds")
  fi
  log="$out/$target.log"
  # New inputs go to the scratch folder; the tree's corpus is only read.
  (cd "$out" && "$binary" "${limits[@]}" -max_len=4096 -print_final_stats=1 "$scratch" "$corpus") >"$log" 2>&1 || {
    tail -n 40 "$log"; echo "$target: FAILED (input left in $out)"; exit 1; }
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  total=$((total + runs))
  echo "$target: $runs inputs tried, no failure"
  if [ $short -eq 0 ]; then
    (cd "$out" && "$binary" -merge=1 "$corpus" "$scratch") >"$out/$target.merge.log" 2>&1
    echo "$target: corpus now $(ls "$corpus" | wc -l) files"
  fi
done
echo "native fuzzing: $total inputs tried"
