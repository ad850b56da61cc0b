#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and fuzzes each one for the given seconds, two
# at a time, starting from its corpus in tests/fuzz/corpus/<target>. Any
# finding (crash, sanitizer report, leak, hang over 10 s) fails the script;
# the input is left in build/fuzz/findings/<target>/ and belongs, once
# mended, in the target's corpus.
#   bash scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
# Every target has its corpus folder (the build makes one target per folder).
[ ${#targets[@]} -eq 0 ] && targets=($(ls tests/fuzz/corpus))
build=build/fuzz

CXX=clang++ cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVO_FUZZ=ON \
  -DTARVO_TESTS=OFF >/dev/null
cmake --build $build -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]/#/fuzz_}"

fuzz() {
  local t=$1
  rm -rf "$build/findings/$t" "$build/corpus/$t"
  mkdir -p "$build/findings/$t" "$build/corpus/$t"
  # New inputs go to the scratch corpus, never into the source tree.
  ASAN_OPTIONS=quarantine_size_mb=16 "$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t/" "$build/corpus/$t" \
    "tests/fuzz/corpus/$t" >"$build/findings/$t.log" 2>&1
}

failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pair=("${targets[@]:i:2}")
  pids=()
  for t in "${pair[@]}"; do
    fuzz "$t" &
    pids+=($!)
  done
  for j in "${!pids[@]}"; do
    t=${pair[j]}
    if ! wait "${pids[j]}"; then
      failed=1
      echo "fuzz_$t: FINDING (log: $build/findings/$t.log)"
      grep -E '^(==|SUMMARY|ERROR)' "$build/findings/$t.log" | head -20 || true
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/findings/$t.log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$build/findings/$t.log")
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$build/findings/$t.log" | tail -1)
    echo "fuzz_$t: ${runs:-?} inputs, ${speed:-?}/s, $cov"
  done
done
exit $failed
