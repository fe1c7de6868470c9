#!/usr/bin/env bash
# Added to another project with add_subdirectory, ccdcrc builds its library
# alone: no program, tests, benchmarks or install rules, and it needs none of
# their packages. Configured and planned only (ninja -n), nothing compiled.
#   subproject_test.sh SOURCE_DIR
set -euo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "subproject test: $*" >&2; exit 1; }

cmake -S "$source/tests/package/subproject" -B "$scratch" -G Ninja -DCCDCRC_SOURCE="$source" >"$scratch/configure.log" ||
  { cat "$scratch/configure.log" >&2; fail "configuring failed"; }
ninja -C "$scratch" -n >"$scratch/plan"
grep -q 'Linking CXX shared library ccdcrc/src/libccdcrc.so' "$scratch/plan" || fail "the library is not built"
grep -q 'Linking C executable scd_queries' "$scratch/plan" || fail "the embedding program is not built"
if grep -E 'ccdcrc/(console|tests|bench|fuzz)/|libccdcrc_internal' "$scratch/plan"; then
  fail "more than the library is built"
fi
[ ! -e "$scratch/ccdcrc/cmake_install.cmake" ] || ! grep -q 'bin/ccdcrc' "$scratch/ccdcrc/cmake_install.cmake" ||
  fail "install rules for the program"
echo "add_subdirectory builds the library alone"
