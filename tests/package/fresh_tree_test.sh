#!/usr/bin/env bash
# A tree configured on one prefix of built libraries and configured again on
# another, through packaging/deps/fresh_tree.sh as ./dev and the Windows
# build do, finds the second prefix's library, not the first it cached.
#   fresh_tree_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for prefix in one two; do
  mkdir -p "$work/$prefix/lib/pkgconfig" "$work/$prefix/include"
  printf 'prefix=%s\nName: sample\nDescription: a library\nVersion: 1\nCflags: -I${prefix}/include\n' \
    "$work/$prefix" >"$work/$prefix/lib/pkgconfig/sample.pc"
done
mkdir "$work/project"
cat >"$work/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(sample NONE)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SAMPLE REQUIRED sample)
file(WRITE ${CMAKE_BINARY_DIR}/found ${SAMPLE_INCLUDE_DIRS})
CMAKE
tree=$work/tree
for prefix in one two two; do
  "$source_dir/packaging/deps/fresh_tree.sh" "$tree" "$work/$prefix"
  PKG_CONFIG_LIBDIR=$work/$prefix/lib/pkgconfig cmake -S "$work/project" -B "$tree" >/dev/null
  found=$(cat "$tree/found")
  if [ "$found" != "$work/$prefix/include" ]; then
    echo "configured on $prefix, the tree found $found" >&2
    exit 1
  fi
done
echo "each configure found the library of its own prefix"
