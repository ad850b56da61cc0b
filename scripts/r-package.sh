#!/usr/bin/env bash
# The R package of r/: the library's sources (core, formats, analysis and the
# report writers of its tables and messages) and headers are copied into
# r/src, tarvo/config.h is made with the default capacities, the cats are
# copied in as the package's example data; then the package is built and
# checked in build/r. The copies are ignored by git: src/ and include/ are
# the one place they live.
#   bash scripts/r-package.sh            copy, build, R CMD check --no-manual
#   bash scripts/r-package.sh install    copy, build, install into the user's R library
#   bash scripts/r-package.sh expected   the program's tables for the package's tests,
#                                        default and --fast (needs build/release/tarvo)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
pkg=$root/r
work=$root/build/r
mode=${1:-check}

# The options of the comparison with the program, in the program's letters;
# the package's test gives the same ones by name.
cats_options=(-k Pop -r 7 -n 100 -s 10 -c 2 -z 20 -t 2)

copy_sources() {
  rm -rf "$pkg/src/include" "$pkg/src/core" "$pkg/src/formats" "$pkg/src/analysis" \
    "$pkg/src/report"
  mkdir -p "$pkg/src/include/tarvo" "$pkg/src/report" "$pkg/inst/extdata"
  cp -r src/core src/formats src/analysis "$pkg/src/"
  cp src/report/report.h src/report/power_report.h src/report/console.cpp \
    src/report/error_messages.cpp src/report/tables.cpp src/report/power_report.cpp \
    src/report/review_tables.cpp src/report/tsv_row.h \
    "$pkg/src/report/"
  cp include/tarvo/*.h "$pkg/src/include/tarvo/"
  # The capacities the program is built with by default.
  local sed_args=()
  for limit in NOA ANIM BLOCK SOL PERM PAIRS; do
    value=$(sed -nE "s/^set\(TARVO_$limit ([0-9]+) CACHE.*/\1/p" CMakeLists.txt)
    [ -n "$value" ] || { echo "r-package: no default for TARVO_$limit" >&2; exit 1; }
    sed_args+=(-e "s/@TARVO_$limit@/$value/")
  done
  sed "${sed_args[@]}" include/tarvo/config.h.in >"$pkg/src/include/tarvo/config.h"
  cp tests/data/nancycats.gen "$pkg/inst/extdata/"
  Rscript -e 'invisible(Rcpp::compileAttributes(commandArgs(TRUE)[1]))' "$pkg"
  # The objects, listed: R's make needs no GNU extension for them.
  (cd "$pkg/src" && {
    sed -n '/^OBJECTS/q;p' Makevars.in
    printf 'OBJECTS ='
    for f in *.cpp core/*.cpp formats/*.cpp analysis/*.cpp report/*.cpp; do
      printf ' \\\n  %s' "${f%.cpp}.o"
    done
    echo
  } >Makevars)
}

build() {
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && R CMD build --no-build-vignettes "$pkg" >build.log 2>&1) ||
    { cat "$work/build.log"; exit 1; }
  ls "$work"/tarvo_*.tar.gz
}

case $mode in
  check)
    copy_sources
    tarball=$(build)
    cd "$work"
    if ! _R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual "$tarball" >check.log 2>&1; then
      cat check.log
      exit 1
    fi
    cat check.log
    # A warning fails the check as an error does.
    if grep -qE '^Status: .*(WARNING|ERROR)' check.log; then exit 1; fi
    ;;
  install)
    copy_sources
    R CMD INSTALL "$(build)"
    ;;
  expected)
    out=$pkg/tests/testthat/program
    mkdir -p "$work/expected"
    (cd "$work/expected" &&
      "$root/build/release/tarvo" -1 "$root/tests/data/nancycats.gen" "${cats_options[@]}" \
        -d cats >stdout.txt) || [ $? -eq 1 ] # a normal run ends with status 1
    (cd "$work/expected" &&
      "$root/build/release/tarvo" -1 "$root/tests/data/nancycats.gen" "${cats_options[@]}" \
        --fast -d cats_fast >stdout_fast.txt) || [ $? -eq 1 ]
    cp "$work/expected/cats_pairs.tsv" "$out/cats_pairs.tsv"
    cp "$work/expected/cats_summary.tsv" "$out/cats_summary.tsv"
    cp "$work/expected/cats_fast_summary.tsv" "$out/cats_fast_summary.tsv"
    ;;
  *)
    echo "usage: bash scripts/r-package.sh [check|install|expected]" >&2
    exit 2
    ;;
esac
