#!/usr/bin/env bash
# Regenerates the expected output of the end-to-end cases from a build:
#   bash scripts/update_expected.sh build/release [case...]
# Review the differences (git diff) before committing them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
shift
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=($(ls tests/e2e/cases))
mask() {
  sed -E 's/^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}$/<date>/; s/^Finish time: .*/Finish time: <date>/; s/^Elapse time: .*/<date>/'
}
for c in "${cases[@]}"; do
  dir=tests/e2e/cases/$c
  work=$(mktemp -d)
  [ -f "$dir/inputs" ] && for f in $(cat "$dir/inputs"); do cp "tests/e2e/inputs/$f" "$work/"; done
  args=$(cat "$dir/args")
  set +e
  (cd "$work" && PATH="$build:$PATH" eval tarvo $args > stdout.out 2> stderr.out)
  status=$?
  set -e
  rm -rf "$dir/expected"
  mkdir -p "$dir/expected"
  echo "$status" > "$dir/expected/status.txt"
  mask < "$work/stdout.out" > "$dir/expected/stdout.txt"
  mask < "$work/stderr.out" > "$dir/expected/stderr.txt"
  rm "$work/stdout.out" "$work/stderr.out"
  [ -f "$dir/inputs" ] && for f in $(cat "$dir/inputs"); do rm -f "$work/$f"; done
  for f in "$work"/*; do
    [ -e "$f" ] || continue
    mask < "$f" > "$dir/expected/$(basename "$f")"
  done
  rm -rf "$work"
  echo "$c: status $status, $(ls "$dir/expected" | wc -l) files"
done
