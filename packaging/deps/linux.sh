#!/usr/bin/env bash
# The libraries the wheel links statically (./dev dist) that Debian ships no
# position-independent static archive of: zlib and libzip, from Debian's
# source packages of the versions the Linux build links, with -fPIC, for an
# extension (a shared object) and the program it carries. Debian's own
# libpugixml.a and libcrypto.a are position-independent and used as they
# are. libzip reads deflated and stored members, as on Windows and in the
# page. Prints the prefix.
source "$(dirname "$0")/cache.sh"

if [ "${1:-}" = --build ]; then
  prefix=$2
  zlib=$("$fetch" zlib)
  libzip=$("$fetch" libzip)
  cp -a "$zlib" "$prefix.tree/zlib"
  (cd "$prefix.tree/zlib" && CFLAGS="-O2 -fPIC" ./configure --static --prefix="$prefix" && make -j "$jobs" install)
  cmake -S "$libzip" -B "$prefix.tree/libzip" -G Ninja -DCMAKE_BUILD_TYPE=Release -Wno-dev \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF \
    -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF \
    -DBUILD_DOC=OFF
  cmake --build "$prefix.tree/libzip" -j "$jobs"
  cmake --install "$prefix.tree/libzip"
  exit 0
fi

sources=$("$fetch" --name zlib && "$fetch" --name libzip)
recipe_prefix linux -- "$sources" "$(cc --version | head -n 1)" "$(package_versions cmake)"
build_once
echo "$prefix"
