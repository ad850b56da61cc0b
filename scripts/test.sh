#!/usr/bin/env bash
# Builds the program twice (optimised, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole test suite in each build.
# With CI=true warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
[ "${CI:-}" = true ] && werror=ON

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DTARVO_WERROR=$werror "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite build/release -DCMAKE_BUILD_TYPE=Release
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON
echo "All tests passed in both builds."
