#!/usr/bin/env bash
# The libraries of the page (./dev web): pugixml, zlib, libzip and libmd for
# WebAssembly, static, from Debian's source packages of the versions the
# Linux build links (libmd: the one dpkg runs on), compiled with Debian's
# Emscripten, and their licences in licenses/. Prints the prefix.
source "$(dirname "$0")/cache.sh"
# Emscripten's optimiser needs Debian's acorn, which another Node does not find.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

if [ "${1:-}" = --build ]; then
  prefix=$2
  common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix"
          -DCMAKE_FIND_ROOT_PATH="$prefix")
  # zlib's CMake file wants the Windows resources that Debian's source leaves out: its configure.
  zlib=$("$fetch" zlib)
  pugixml=$("$fetch" pugixml)
  libzip=$("$fetch" libzip)
  cp -a "$zlib" "$prefix.tree/zlib"
  (cd "$prefix.tree/zlib" && emconfigure ./configure --static --prefix="$prefix" && emmake make -j "$jobs" install)
  # pugixml throws (bad_alloc, XPath): as the page's code, with WebAssembly's own exceptions.
  # Its compact nodes and attributes take a fraction of the memory, and so of
  # the browser's slow fresh pages; the text it writes is the same. The mode
  # goes with the library to everything that links it (its CMake target).
  emcmake cmake -S "$pugixml" -B "$prefix.tree/pugixml" "${common[@]}" -DCMAKE_CXX_FLAGS=-fwasm-exceptions \
    -DPUGIXML_COMPACT=ON
  cmake --build "$prefix.tree/pugixml" -j "$jobs"
  cmake --install "$prefix.tree/pugixml"
  # CMake cannot measure types of WebAssembly: the sizes libzip asks for are given.
  emcmake cmake -S "$libzip" -B "$prefix.tree/libzip" "${common[@]}" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DHAVE_SIZEOF_OFF_T=TRUE -DSIZEOF_OFF_T=8 -DHAVE_SIZEOF_SIZE_T=TRUE -DSIZEOF_SIZE_T=4
  cmake --build "$prefix.tree/libzip" -j "$jobs"
  cmake --install "$prefix.tree/libzip"
  # SHA-256 (libmd, as dpkg takes it): its configure knows WebAssembly as wasm32.
  libmd=$("$fetch" libmd)
  cp -a "$libmd" "$prefix.tree/libmd"
  (cd "$prefix.tree/libmd" && emconfigure ./configure --host=wasm32 --disable-shared --prefix="$prefix" &&
     emmake make -j "$jobs" install)
  # Their licences, which the page carries (web/assemble.js).
  mkdir -p "$prefix/licenses"
  cp "$pugixml/LICENSE.md" "$prefix/licenses/LICENSE-pugixml.txt"
  cp "$zlib/LICENSE" "$prefix/licenses/LICENSE-zlib.txt"
  cp "$libzip/LICENSE" "$prefix/licenses/LICENSE-libzip.txt"
  cp "$libmd/COPYING" "$prefix/licenses/LICENSE-libmd.txt"
  exit 0
fi

sources=$("$fetch" --name pugixml && "$fetch" --name zlib && "$fetch" --name libzip && "$fetch" --name libmd)
recipe_prefix web -- "$sources" "$(package_versions emscripten cmake)"
build_once
echo "$prefix"
