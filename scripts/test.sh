#!/usr/bin/env bash
# Builds the program and runs the whole test suite: in an optimised build by
# default (a few minutes), in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer with `sanitize`, or both with `all`.
#   bash scripts/test.sh [release|sanitize|all]
# With CI=true warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
[ "${CI:-}" = true ] && werror=ON
kind=${1:-release}

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DTARVO_WERROR=$werror "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

case $kind in
release | all) run_suite build/release -DCMAKE_BUILD_TYPE=Release ;;&
sanitize | all) run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON ;;&
release | sanitize | all) ;;
*)
  echo "usage: scripts/test.sh [release|sanitize|all]" >&2
  exit 2
  ;;
esac
echo "All tests passed ($kind)."
