#!/usr/bin/env bash
# The libraries of the Windows build (packaging/windows/build.sh) that Debian
# ships no MinGW build of: pugixml and libzip, static, from Debian's source
# packages of the versions the Linux build links, cross-compiled with
# packaging/windows/toolchain.cmake; the header-only CLI11 and nlohmann-json
# as Debian ships them, without /usr/include (glibc's headers) on the
# compiler's path; and their licences in licenses/. Prints the prefix.
source "$(dirname "$0")/cache.sh"
toolchain=$root/packaging/windows/toolchain.cmake

if [ "${1:-}" = --build ]; then
  prefix=$2
  cross_cmake() {  # cross_cmake SOURCE BUILD [args...]
    local source=$1 build=$2
    shift 2
    CCDCRC_WINDOWS_DEPS=$prefix cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -Wno-dev \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@"
    cmake --build "$build" -j "$jobs"
    cmake --install "$build"
  }
  mkdir -p "$prefix/licenses" "$prefix/include" "$prefix/share/cmake"
  src=$("$fetch" pugixml)
  cross_cmake "$src" "$prefix.tree/pugixml" -DPUGIXML_BUILD_TESTS=OFF
  cp "$src/LICENSE.md" "$prefix/licenses/LICENSE-pugixml.md"
  src=$("$fetch" libzip)
  cross_cmake "$src" "$prefix.tree/libzip" -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF
  cp "$src/LICENSE" "$prefix/licenses/LICENSE-libzip.txt"
  cp -r /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
  cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
  exit 0
fi

sources=$("$fetch" --name pugixml && "$fetch" --name libzip)
recipe_prefix windows "$toolchain" -- "$sources" \
  "$(package_versions g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libcli11-dev nlohmann-json3-dev cmake)"
build_once
echo "$prefix"
