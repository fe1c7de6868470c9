#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds the examples
# against that prefix alone, once through find_package and once through
# pkg-config. Both, and the installed program, must give what `ccdcrc all`
# of the build tree gives. The README's C examples are the example files.
# With PYTHON, the Python package too.
#   install_test.sh BUILD_DIR SOURCE_DIR [PYTHON]
set -euo pipefail
build=$1 source=$2 python=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
scd=$source/examples/substation.scd
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libccdcrc.so.0' -print -quit)")
for file in bin/ccdcrc include/ccdcrc/ccdcrc.h include/ccdcrc/version.h share/man/man1/ccdcrc.1.gz \
            share/bash-completion/completions/ccdcrc share/doc/ccdcrc/copyright; do
  [ -e "$prefix/$file" ] || fail "$file was not installed"
done
for file in libccdcrc.so libccdcrc.so.0 cmake/ccdcrc/ccdcrcConfig.cmake cmake/ccdcrc/ccdcrcConfigVersion.cmake \
            pkgconfig/ccdcrc.pc; do
  [ -e "$libdir/$file" ] || fail "$file was not installed in $libdir"
done
grep -q 'Library soname: \[libccdcrc.so.0\]' <<<"$(readelf -d "$libdir/libccdcrc.so.0")" || fail "no SONAME libccdcrc.so.0"

# The installed program needs no library path.
expected=$(env -u LD_LIBRARY_PATH "$build/console/ccdcrc" all "$scd" | tr -s ' ')
[ "$(env -u LD_LIBRARY_PATH "$prefix/bin/ccdcrc" all "$scd" | tr -s ' ')" = "$expected" ] ||
  fail "the installed program gives other CRCs"

# The README's C examples, exactly as the files in examples/.
awk -v dir="$scratch" '/^```c$/ { n++; out = dir "/readme" n ".c"; next } /^```$/ { out = "" } out { print > out }' \
  "$source/README.md"
for example in all_crcs scd_queries; do
  found=0
  for block in "$scratch"/readme*.c; do cmp -s "$block" "$source/examples/$example.c" && found=1; done
  [ $found = 1 ] || fail "README.md does not show examples/$example.c as it stands"
done

# find_package, with the version file.
cmake -S "$source/examples" -B "$scratch/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$scratch/cmake" >/dev/null
for program in all_crcs scd_queries; do
  [ "$("$scratch/cmake/$program" "$scd")" = "$expected" ] || fail "$program (find_package) differs from ccdcrc all"
done
mkdir -p "$scratch/version"
cat >"$scratch/version/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(version_check C)  # C: find_package searches lib/<multiarch>/cmake
find_package(ccdcrc ${WANTED} QUIET)
message(STATUS "ccdcrc found: ${ccdcrc_FOUND}")
CMAKE
for wanted in 0.1:1 0.1.0:1 0.2:0 1.0:0; do
  rm -rf "$scratch/version/build"
  cmake -S "$scratch/version" -B "$scratch/version/build" -DWANTED="${wanted%%:*}" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$scratch/version/log"
  grep -q "ccdcrc found: ${wanted##*:}" "$scratch/version/log" || fail "find_package(ccdcrc ${wanted%%:*}) is wrong"
done

# pkg-config, with nothing but the prefix to look in.
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_PATH=
[ "$(pkg-config --modversion ccdcrc)" = "$("$prefix/bin/ccdcrc" --version | sed -n 1p | cut -d' ' -f2)" ] ||
  fail "pkg-config gives another version"
for program in all_crcs scd_queries; do
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags ccdcrc) "$source/examples/$program.c" \
    -o "$scratch/$program" $(pkg-config --libs ccdcrc) -Wl,-rpath,"$(pkg-config --variable=libdir ccdcrc)"
  [ "$("$scratch/$program" "$scd")" = "$expected" ] || fail "$program (pkg-config) differs from ccdcrc all"
done

# The handle interface's messages, from the installed library.
"$scratch/scd_queries" "$scd" PL1101 GW01 NOBODY >"$scratch/out" 2>"$scratch/err" && fail "scd_queries succeeded"
[ "$(cat "$scratch/out")" = "PL1101 3B04FA6D" ] || fail "scd_queries PL1101: $(cat "$scratch/out")"
grep -qF "$scd: IED 'GW01' has no GOOSE or sampled-value circuits" "$scratch/err" || fail "no message for GW01"
grep -qF "$scd: no IED named 'NOBODY'" "$scratch/err" || fail "no message for NOBODY"
if [ -n "$python" ]; then
  # shellcheck source=python_package.sh
  source "$(dirname "$0")/python_package.sh"
  check_python_package "$python" "$prefix/lib/python3/dist-packages" "$build" "$source" "$prefix/bin/ccdcrc"
fi
echo "installed into a scratch prefix; find_package and pkg-config consumers agree with ccdcrc all"
