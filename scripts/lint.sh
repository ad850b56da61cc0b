#!/usr/bin/env bash
# Format and static checks: clang-format on every source, clang-tidy (the
# committed .clang-tidy) on the library and the command line.
#   bash scripts/lint.sh [build-dir-with-compile_commands.json]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}

mapfile -t sources < <(find src include tests bench examples -name '*.cpp' -o -name '*.h' | sort)
sources+=(r/src/glue.cpp)  # the R package's own; its other sources are copies of src/
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: clean"

[ -f "$build/compile_commands.json" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
mapfile -t checked < <(find src -name '*.cpp' | sort)
printf '%s\n' "${checked[@]}" |
  xargs -P "$(nproc 2>/dev/null || echo 2)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "clang-tidy: clean"
