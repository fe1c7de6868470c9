#!/usr/bin/env bash
# The Windows build, cross-compiled on Debian (./dev windows): the libraries
# Debian ships no MinGW build of, compiled once per version from Debian's own
# source packages of the versions the Linux build links; then the program,
# the DLL and the zip in build/windows/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
tree=$root/build/windows-tree
out=$root/build/windows
jobs=${CCDCRC_JOBS:-2}

cross_cmake() {  # cross_cmake SOURCE BUILD PREFIX [args...]
  local source=$1 build=$2 prefix=$3; shift 3
  local log=$build.log
  if ! { CCDCRC_WINDOWS_DEPS=$prefix cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -Wno-dev \
           -DCMAKE_TOOLCHAIN_FILE="$root/packaging/windows/toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
           -DBUILD_SHARED_LIBS=OFF "$@" &&
         cmake --build "$build" -j "$jobs" && cmake --install "$build"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "windows: building $source failed (log: $log)" >&2
    exit 1
  fi
}

# The libraries, each in a prefix of its own named by its Debian version:
# built once, kept outside the tree (a clean checkout reuses them).
deps=${CCDCRC_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ccdcrc-deps}/windows
fetch=$root/packaging/fetch_debian_source.sh
pugixml_prefix=$deps/$("$fetch" --name pugixml)
libzip_prefix=$deps/$("$fetch" --name libzip)
headers_prefix=$deps/debian-headers
if [ ! -e "$pugixml_prefix/.built" ]; then
  echo "windows: building $(basename "$pugixml_prefix") from Debian's source package" >&2
  src=$("$fetch" pugixml)
  rm -rf "$pugixml_prefix" "$pugixml_prefix.build"
  cross_cmake "$src" "$pugixml_prefix.build" "$pugixml_prefix" -DPUGIXML_BUILD_TESTS=OFF
  cp "$src/LICENSE.md" "$pugixml_prefix/LICENSE-pugixml.md" 2>/dev/null || cp "$src/debian/copyright" "$pugixml_prefix/LICENSE-pugixml.md"
  rm -rf "$pugixml_prefix.build"
  touch "$pugixml_prefix/.built"
fi
if [ ! -e "$libzip_prefix/.built" ]; then
  echo "windows: building $(basename "$libzip_prefix") from Debian's source package" >&2
  src=$("$fetch" libzip)
  rm -rf "$libzip_prefix" "$libzip_prefix.build"
  cross_cmake "$src" "$libzip_prefix.build" "$libzip_prefix" -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF \
    -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF
  cp "$src/LICENSE" "$libzip_prefix/LICENSE-libzip.txt"
  rm -rf "$libzip_prefix.build"
  touch "$libzip_prefix/.built"
fi
# Header-only libraries: Debian's headers and CMake files, without /usr/include
# (glibc's headers) on the compiler's path.
if [ ! -e "$headers_prefix/.built" ]; then
  rm -rf "$headers_prefix"
  mkdir -p "$headers_prefix/include" "$headers_prefix/share/cmake"
  cp -r /usr/include/CLI /usr/include/nlohmann "$headers_prefix/include/"
  cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$headers_prefix/share/cmake/"
  touch "$headers_prefix/.built"
fi

# The project; with CCDCRC_WINDOWS_TESTS=1 also the GoogleTest suites that run under Wine.
tests=OFF
targets=(ccdcrc_console ccdcrc)
if [ "${CCDCRC_WINDOWS_TESTS:-0}" = 1 ]; then
  tests=ON
  targets+=(ccdcrc_windows_tests)
fi
prefixes="$pugixml_prefix;$libzip_prefix;$headers_prefix"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CCDCRC_WINDOWS_DEPS="$prefixes" PKG_CONFIG_LIBDIR="$libzip_prefix/lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR=/ \
  cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/packaging/windows/toolchain.cmake" -DCMAKE_PREFIX_PATH="$prefixes" \
  -DCCDCRC_TESTS="$tests" -DCCDCRC_BENCH=OFF -DCCDCRC_PYTHON=OFF -DCCDCRC_INSTALL=OFF -DCCDCRC_HARDEN=OFF \
  ${CCDCRC_WINDOWS_CMAKE_ARGS:-} >/dev/null
cmake --build "$tree" -j "$jobs" --target "${targets[@]}"

# build/windows: the program, the DLL, its import library and the headers, and the zip.
version=$(sed -n 's/^project(ccdcrc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=ccdcrc-$version-windows-x64
rm -rf "$out"
mkdir -p "$out/$name/include/ccdcrc" "$out/$name/licenses"
cp "$tree/console/ccdcrc.exe" "$tree/src/ccdcrc.dll" "$tree/src/libccdcrc.dll.a" "$out/$name/"
cp include/ccdcrc/*.h "$tree/include/ccdcrc/version.h" "$out/$name/include/ccdcrc/"
cp README.md LICENSE "$out/$name/"
cp "$pugixml_prefix/LICENSE-pugixml.md" "$libzip_prefix/LICENSE-libzip.txt" "$out/$name/licenses/"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$out/$name/licenses/LICENSE-zlib.txt"
cp /usr/share/doc/libcli11-dev/copyright "$out/$name/licenses/LICENSE-CLI11.txt"
cp /usr/share/doc/nlohmann-json3-dev/copyright "$out/$name/licenses/LICENSE-nlohmann-json.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$out/$name/licenses/LICENSE-mingw-w64.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$out/$name/licenses/LICENSE-gcc-runtime.txt"
# Beside the folder, as build/windows/ was asked to hold them.
cp "$out/$name/ccdcrc.exe" "$out/$name/ccdcrc.dll" "$out/$name/libccdcrc.dll.a" "$out/"
cp -r "$out/$name/include" "$out/"
(cd "$out" && rm -f "$name.zip" && zip -qr -X "$name.zip" "$name")
echo "windows: $out/$name.zip"
