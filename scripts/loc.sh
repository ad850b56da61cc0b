#!/usr/bin/env bash
# Non-blank, non-comment lines of the tests against those of the code
# (src/ and include/, and the R package's own R and C++; the tests' Python
# checkers count as tests), and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 cat | sed -E 's://.*$::' | grep -cvE '^\s*$'
}
count_r() {
  find "$@" -type f -name '*.R' ! -name RcppExports.R -print0 |
    xargs -0 cat | sed -E 's/^\s*#.*$//' | grep -cvE '^\s*$'
}
count_py() {
  find "$@" -type f -name '*.py' -print0 |
    xargs -0 cat | sed -E 's/^\s*#.*$//' | grep -cvE '^\s*$'
}
code=$(($(count src include r/src/glue.cpp) + $(count_r r/R)))
tests=$(($(count tests) + $(count_r r/tests) + $(count_py tests)))
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d / code %d = %.2f\n", t, c, t / c }'
