#!/usr/bin/env bash
# Non-blank, non-comment lines of the tests against those of the code
# (src/ and include/), and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 cat | sed -E 's://.*$::' | grep -cvE '^\s*$'
}
code=$(count src include)
tests=$(count tests)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d / code %d = %.2f\n", t, c, t / c }'
