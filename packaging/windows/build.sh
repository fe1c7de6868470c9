#!/usr/bin/env bash
# The Windows build, cross-compiled on Debian (./dev windows): the libraries
# Debian ships no MinGW build of, compiled once per version from Debian's own
# source packages of the versions the Linux build links; then the program,
# the DLL and the zip in build/windows/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
deps=$root/build/windows-deps
tree=$root/build/windows-tree
out=$root/build/windows
jobs=${CCDCRC_JOBS:-2}

# The version of a Debian package installed for the Linux build, without epoch and revision.
upstream_version() {
  dpkg-query -W -f='${Version}' "$1" | sed -e 's/^[0-9]*://' -e 's/-[^-]*$//'
}

# A private apt directory with a deb-src entry for the host's own mirror: the
# system's sources stay as they are.
apt_dir=$root/build/deb-src
apt_options=()
prepare_apt() {
  [ ${#apt_options[@]} -gt 0 ] && return 0
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
  local uri
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $codename main" >"$apt_dir/sources.list"
  apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
               -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache::Archives=$apt_dir/archives")
  # As root, apt would hand the download to its own user, who cannot write here.
  [ "$(id -u)" -eq 0 ] && apt_options+=(-o APT::Sandbox::User=root)
  if ! apt-get "${apt_options[@]}" update -qq; then
    echo "windows: cannot read Debian's source package index from $uri" >&2
    exit 1
  fi
}

# source PACKAGE VERSION: Debian's source package unpacked (with Debian's
# patches) in build/deb-src/PACKAGE-VERSION.
source_of() {
  local package=$1 version=$2 dir=$apt_dir/$1-$2
  if [ ! -d "$dir" ]; then
    prepare_apt
    local full
    full=$(apt-cache "${apt_options[@]}" showsrc "$package" 2>/dev/null |
             awk -v v="$version" '/^Version:/ {s=$2; sub(/^[0-9]+:/, "", s); sub(/-[^-]*$/, "", s); if (s == v) {print $2; exit}}')
    if [ -z "$full" ] || ! (cd "$apt_dir" && apt-get "${apt_options[@]}" source -qq "$package=$full" >/dev/null); then
      echo "windows: cannot fetch Debian's source package $package $version (the Linux build links that version)" >&2
      exit 1
    fi
  fi
  echo "$dir"
}

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

# The libraries, each in a prefix of its own named by its version: built once.
pugixml_version=$(upstream_version libpugixml-dev)
libzip_version=$(upstream_version libzip-dev)
pugixml_prefix=$deps/pugixml-$pugixml_version
libzip_prefix=$deps/libzip-$libzip_version
headers_prefix=$deps/debian-headers
if [ ! -e "$pugixml_prefix/.built" ]; then
  echo "windows: building pugixml $pugixml_version from Debian's source package" >&2
  src=$(source_of pugixml "$pugixml_version")
  rm -rf "$pugixml_prefix" "$deps/build-pugixml"
  cross_cmake "$src" "$deps/build-pugixml" "$pugixml_prefix" -DPUGIXML_BUILD_TESTS=OFF
  cp "$src/LICENSE.md" "$pugixml_prefix/LICENSE-pugixml.md" 2>/dev/null || cp "$src/debian/copyright" "$pugixml_prefix/LICENSE-pugixml.md"
  touch "$pugixml_prefix/.built"
fi
if [ ! -e "$libzip_prefix/.built" ]; then
  echo "windows: building libzip $libzip_version from Debian's source package" >&2
  src=$(source_of libzip "$libzip_version")
  rm -rf "$libzip_prefix" "$deps/build-libzip"
  cross_cmake "$src" "$deps/build-libzip" "$libzip_prefix" -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF \
    -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF
  cp "$src/LICENSE" "$libzip_prefix/LICENSE-libzip.txt"
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
