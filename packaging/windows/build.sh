#!/usr/bin/env bash
# The Windows build, cross-compiled on Debian (./dev windows): the libraries
# Debian ships no MinGW build of (packaging/deps/windows.sh, built once per
# recipe), then the program, the DLL, its import libraries and the zip in
# build/windows/. The zip holds the page when build/web/ccdcrc.html is there
# (./dev web; ./dev dist builds it first). Files honour SOURCE_DATE_EPOCH.
# With --configure, only configures build/windows-tree (no build, no zip).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
tree=$root/build/windows-tree
out=$root/build/windows
page=$root/build/web/ccdcrc.html
jobs=${CCDCRC_JOBS:-2}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

deps=$(CCDCRC_JOBS=$jobs packaging/deps/windows.sh)
packaging/deps/fresh_tree.sh "$tree" "$deps"

# The project; with CCDCRC_WINDOWS_TESTS=1 also the GoogleTest suites that run under Wine.
tests=OFF
targets=(ccdcrc_console ccdcrc)
if [ "${CCDCRC_WINDOWS_TESTS:-0}" = 1 ]; then
  tests=ON
  targets+=(ccdcrc_windows_tests)
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CCDCRC_WINDOWS_DEPS="$deps" PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR=/ \
  cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/packaging/windows/toolchain.cmake" -DCMAKE_PREFIX_PATH="$deps" \
  -DCCDCRC_TESTS="$tests" -DCCDCRC_BENCH=OFF -DCCDCRC_PYTHON=OFF -DCCDCRC_INSTALL=OFF -DCCDCRC_HARDEN=OFF \
  ${CCDCRC_WINDOWS_CMAKE_ARGS:-} >/dev/null
# --configure: the tree alone, for its compile database (./dev lint).
[ "${1:-}" = --configure ] && exit 0
cmake --build "$tree" -j "$jobs" --target "${targets[@]}"

# build/windows: the folder the zip holds, and the zip.
version=$(sed -n 's/^project(ccdcrc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=ccdcrc-$version-windows-x64
folder=$out/$name
rm -rf "$out"
mkdir -p "$folder/include/ccdcrc" "$folder/licenses" "$folder/examples"
cp "$tree/console/ccdcrc.exe" "$tree/src/ccdcrc.dll" "$tree/src/libccdcrc.dll.a" "$folder/"
# For MSVC: ccdcrc.lib, made from the exports (the DLL's own, checked by tests/windows/wine_test.sh).
{
  echo "LIBRARY ccdcrc.dll"
  echo "EXPORTS"
  sed 's/^/  /' src/api/exported_symbols.txt
} >"$folder/ccdcrc.def"
# In the folder: dlltool names the library's symbols after the path it is given.
(cd "$folder" && x86_64-w64-mingw32-dlltool --machine i386:x86-64 --input-def ccdcrc.def --dllname ccdcrc.dll \
  --output-lib ccdcrc.lib)
cp include/ccdcrc/*.h "$tree/include/ccdcrc/version.h" "$folder/include/ccdcrc/"
cp examples/*.scd examples/*.c "$folder/examples/"
cp LICENSE "$folder/"
# Read in Notepad or any Windows editor: CRLF line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/README-Windows.txt >"$folder/README-Windows.txt"
if [ -e "$page" ]; then
  cp "$page" "$folder/ccdcrc.html"
else
  echo "windows: $page is not built (./dev web): the zip holds no page" >&2
fi
cp "$deps/licenses/"* "$folder/licenses/"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$folder/licenses/LICENSE-zlib.txt"
cp /usr/share/doc/libcli11-dev/copyright "$folder/licenses/LICENSE-CLI11.txt"
cp /usr/share/doc/nlohmann-json3-dev/copyright "$folder/licenses/LICENSE-nlohmann-json.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$folder/licenses/LICENSE-mingw-w64.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$folder/licenses/LICENSE-gcc-runtime.txt"
# Beside the folder, as build/windows/ was asked to hold them.
cp "$folder/ccdcrc.exe" "$folder/ccdcrc.dll" "$folder/libccdcrc.dll.a" "$folder/ccdcrc.lib" "$out/"
cp -r "$folder/include" "$out/"
# The same zip from the same files: names in order, times of SOURCE_DATE_EPOCH, no owners.
find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$out" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$name.zip" -@)
echo "windows: $out/$name.zip"
