#!/usr/bin/env bash
# Regenerates the expected output of the end-to-end cases from a build:
#   bash scripts/update_expected.sh build/release [case...]
# The case test itself runs each case and writes what it gave, dates masked
# as it masks them when comparing, in place of the expected files. Review
# the differences (git diff) before committing them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
shift
filter='Cases/EndToEnd.MatchesExpectedOutput/*'
[ $# -gt 0 ] && filter=$(printf 'Cases/EndToEnd.MatchesExpectedOutput/%s:' "$@")
TARVO_UPDATE_EXPECTED=1 "$build/tarvo_tests" --gtest_filter="$filter"
