#!/usr/bin/env bash
# The library as other projects use it. The package is installed under a
# temporary prefix, static and shared; examples/ is built against each
# install with find_package and with pkg-config, and through add_subdirectory
# of this checkout; every build of the example must print
# examples/accepted_pairs.expected. With CI=true warnings are errors.
#   bash scripts/consumer.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build/consumer
jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
[ "${CI:-}" = true ] && werror=ON
warnings="-Wall -Wextra -Wshadow"
[ $werror = ON ] && warnings+=" -Werror"
expected=$root/examples/accepted_pairs.expected
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "consumer: $*" >&2
  exit 1
}

# Runs a build of the example and compares what it prints.
check_run() {
  local label=$1
  shift
  "$@" >"$work/$label.out" || fail "$label: the example failed"
  diff -u "$expected" "$work/$label.out" || fail "$label: the example printed other pairs"
  echo "consumer: $label: ok"
}

# The package built and installed under work/<kind>/prefix; extra arguments
# go to the configure step.
install_package() {
  local kind=$1
  shift
  cmake -S . -B "$work/$kind/build" -DCMAKE_BUILD_TYPE=Release -DTARVO_TESTS=OFF \
    -DTARVO_EXAMPLES=OFF -DTARVO_WERROR=$werror "$@" >/dev/null
  cmake --build "$work/$kind/build" -j "$jobs" >/dev/null
  cmake --install "$work/$kind/build" --prefix "$work/$kind/prefix" >/dev/null
}

# The example against one install: find_package, then pkg-config.
use_package() {
  local kind=$1
  local prefix=$work/$kind/prefix
  local pc
  pc=$(find "$prefix" -name tarvo.pc -print -quit)
  [ -n "$pc" ] || fail "$kind: no tarvo.pc installed"
  local libdir
  libdir=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=libdir tarvo)
  "$prefix/bin/tarvo" --version >/dev/null || fail "$kind: the installed program does not run"

  cmake -S examples -B "$work/$kind/examples" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$warnings" >/dev/null
  cmake --build "$work/$kind/examples" -j "$jobs" >/dev/null
  check_run "$kind find_package" "$work/$kind/examples/accepted_pairs"

  local flags
  flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs tarvo)
  # shellcheck disable=SC2086 # the flags are words
  g++ -std=c++20 -O2 $warnings examples/accepted_pairs.cpp $flags \
    -o "$work/$kind/accepted_pairs_pc"
  check_run "$kind pkg-config" env LD_LIBRARY_PATH="$libdir" "$work/$kind/accepted_pairs_pc"
}

install_package static
use_package static
[ -z "$(find "$work/static/prefix" -name 'libtarvo.so*')" ] || fail "static: a shared object installed"

# The shared object, with a raised limit that its users must see too.
install_package shared -DBUILD_SHARED_LIBS=ON -DTARVO_PAIRS=7000
use_package shared
grep -q '^#define TARVO_PAIRS 7000$' "$work/shared/prefix/include/tarvo/config.h" ||
  fail "shared: the installed tarvo/config.h does not hold the configured limit"
# Read whole first: grep -q leaving early would fail the pipe under pipefail.
grep -q libtarvo.so <<<"$(ldd "$work/shared/examples/accepted_pairs")" ||
  fail "shared: the example is not linked to the shared object"

# A project that builds the checkout as one of its own directories.
mkdir -p "$work/subdir/project"
cat >"$work/subdir/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(tarvo_consumer LANGUAGES CXX)
add_subdirectory("$root" tarvo EXCLUDE_FROM_ALL)
add_executable(accepted_pairs "$root/examples/accepted_pairs.cpp")
target_link_libraries(accepted_pairs PRIVATE tarvo::tarvo)
CMAKE
cmake -S "$work/subdir/project" -B "$work/subdir/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$warnings" >/dev/null
grep -q '^TARVO_TESTS:BOOL=OFF$' "$work/subdir/build/CMakeCache.txt" ||
  fail "add_subdirectory: the tests are built for the including project"
cmake --build "$work/subdir/build" -j "$jobs" >/dev/null
check_run "add_subdirectory" "$work/subdir/build/accepted_pairs"
echo "The package installs and the example builds and runs every way."
