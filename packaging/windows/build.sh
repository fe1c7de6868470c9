#!/usr/bin/env bash
# The Windows build, cross-compiled on Debian (./dev windows): the libraries
# Debian ships no MinGW build of (packaging/deps/windows.sh, built once per
# recipe), then the program, the DLL, its import libraries and the zip in
# build/windows/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
tree=$root/build/windows-tree
out=$root/build/windows
jobs=${CCDCRC_JOBS:-2}

deps=$(CCDCRC_JOBS=$jobs packaging/deps/windows.sh)

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
cmake --build "$tree" -j "$jobs" --target "${targets[@]}"

# build/windows: the program, the DLL, its import library and the headers, and the zip.
version=$(sed -n 's/^project(ccdcrc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=ccdcrc-$version-windows-x64
rm -rf "$out"
mkdir -p "$out/$name/include/ccdcrc" "$out/$name/licenses"
cp "$tree/console/ccdcrc.exe" "$tree/src/ccdcrc.dll" "$tree/src/libccdcrc.dll.a" "$out/$name/"
cp include/ccdcrc/*.h "$tree/include/ccdcrc/version.h" "$out/$name/include/ccdcrc/"
cp README.md LICENSE "$out/$name/"
cp "$deps/licenses/"* "$out/$name/licenses/"
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
