#!/usr/bin/env bash
# What ./dev dist wrote, file by file, before it writes SHA256SUMS: the files
# expected and no other; Debian packages that hold their files and that
# lintian passes; a wheel that links nothing of the system but glibc and the
# C++ runtime, is tagged for the oldest glibc it runs on, and gives the
# program's CRCs from a fresh venv; a Windows zip that holds what a Windows
# user needs; the page, opened from file:// in headless Chromium, giving the
# program's CRCs; the source of HEAD.
#   dist_test.sh DIST_DIR VERSION PROGRAM PYTHON
set -euo pipefail
dist=$(realpath "$1") version=$2 program=$(realpath "$3") python=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "dist test: FAILED: $*" >&2
  failures=$((failures + 1))
}
cd "$dist"
example=$root/examples/substation.scd
crcs=$("$program" all "$example")

# The files, and no other.
wheel=$(ls ccdcrc-"$version"-*.whl 2>/dev/null || true)
expected="ccdcrc-$version-windows-x64.zip ccdcrc-$version.html ccdcrc-$version.tar.gz ccdcrc_${version}_amd64.deb
libccdcrc-dev_${version}_amd64.deb libccdcrc0_${version}_amd64.deb python3-ccdcrc_${version}_amd64.deb ${wheel:-WHEEL}"
[ "$(ls | LC_ALL=C sort | xargs)" = "$(echo $expected | tr ' ' '\n' | LC_ALL=C sort | xargs)" ] ||
  fail "dist/ holds $(ls | xargs), not $(echo $expected)"

# Debian packages: each holds the file it is for; lintian finds nothing.
for row in "ccdcrc ./usr/bin/ccdcrc" "libccdcrc0 ./usr/lib/x86_64-linux-gnu/libccdcrc.so.0" \
           "libccdcrc-dev ./usr/include/ccdcrc/ccdcrc.h" "python3-ccdcrc ./usr/lib/python3/dist-packages/ccdcrc/_ccdcrc"; do
  read -r package file <<<"$row"
  deb=${package}_${version}_amd64.deb
  [ -e "$deb" ] || continue
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | grep -q "^$file" || fail "$deb holds no $file"
done
lintian --pedantic --fail-on error,warning ./*.deb || fail "lintian found errors or warnings in the Debian packages"

# The wheel.
if [ -n "$wheel" ]; then
  glibc=$(ldd --version | sed -n '1s/.* \([0-9]*\)\.\([0-9]*\)$/\1_\2/p')
  tag=$(unzip -p "$wheel" "ccdcrc-$version.dist-info/WHEEL" | sed -n 's/^Tag: //p' | tr -d '\r')
  [[ "$wheel" == *"-$tag.whl" && "$tag" == *-manylinux_${glibc}_x86_64 ]] ||
    fail "$wheel is tagged $tag, not manylinux_${glibc}_x86_64"
  mkdir "$scratch/wheel"
  unzip -q "$wheel" -d "$scratch/wheel"
  extension=$(find "$scratch/wheel/ccdcrc" -name '_ccdcrc*.so')
  for file in "$scratch/wheel/ccdcrc/__init__.py" "$scratch/wheel/ccdcrc/_program.py" "$scratch/wheel/ccdcrc/bin/ccdcrc" \
              "$extension"; do
    [ -f "$file" ] || fail "$wheel holds no ${file#"$scratch/wheel/"}"
  done
  for binary in "$extension" "$scratch/wheel/ccdcrc/bin/ccdcrc"; do
    needed=$(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs)
    others=$(tr ' ' '\n' <<<"$needed" |
      grep -v -x -E 'libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|ld-linux-x86-64\.so\.2' || true)
    [ -z "$others" ] || fail "${binary#"$scratch/wheel/"} of the wheel needs $others (it needs: $needed)"
    newest=$(objdump -T "$binary" | grep -o 'GLIBC_[0-9.]*' | sort -u -V | tail -n 1)
    [ "$(printf '%s\n' "GLIBC_${glibc/_/.}" "$newest" | sort -V | tail -n 1)" = "GLIBC_${glibc/_/.}" ] ||
      fail "${binary#"$scratch/wheel/"} needs $newest, later than the glibc of its tag"
  done
  "$python" -m venv "$scratch/venv"
  "$scratch/venv/bin/python" -m pip install --no-index -q "$wheel" || fail "$wheel does not install into a fresh venv"
  printed=$(cd "$scratch" && env -u PYTHONPATH -u LD_LIBRARY_PATH "$scratch/venv/bin/python" -c \
    "import ccdcrc; s = ccdcrc.load('$example'); print(*[f'{n} {c}' for n, c in s.crcs().items()], s.scd_crc, sep='\n')" ||
    true)
  [ "$printed" = "$(awk '{print $1 == "SCD" ? $3 : $1 " " $2}' <<<"$crcs")" ] ||
    fail "the wheel gives other CRCs: $printed"
  [ "$(PATH=/nonexistent "$scratch/venv/bin/ccdcrc" all "$example")" = "$crcs" ] || fail "the wheel's program gives other CRCs"
fi

# The Windows zip.
zip=ccdcrc-$version-windows-x64.zip
if [ -e "$zip" ]; then
  folder=ccdcrc-$version-windows-x64
  listed=$(unzip -Z1 "$zip")
  for file in ccdcrc.exe ccdcrc.dll ccdcrc.lib ccdcrc.def libccdcrc.dll.a include/ccdcrc/ccdcrc.h \
              include/ccdcrc/legacy.h include/ccdcrc/export.h include/ccdcrc/version.h ccdcrc.html README-Windows.txt \
              LICENSE examples/substation.scd examples/substation_rev2.scd examples/all_crcs.c \
              licenses/LICENSE-pugixml.md licenses/LICENSE-libzip.txt licenses/LICENSE-zlib.txt; do
    grep -q -x "$folder/$file" <<<"$listed" || fail "$zip holds no $folder/$file"
  done
  ! grep -q -x "$folder/README.md" <<<"$listed" || fail "$zip holds the Linux README"
  unzip -p "$zip" "$folder/README-Windows.txt" >"$scratch/README-Windows.txt"
  [ -s "$scratch/README-Windows.txt" ] && ! grep -q -v $'\r$' "$scratch/README-Windows.txt" ||
    fail "README-Windows.txt has lines without CRLF"
  grep -q 'Get-FileHash' "$scratch/README-Windows.txt" || fail "README-Windows.txt tells not how to check the zip"
  unzip -p "$zip" "$folder/ccdcrc.html" | cmp -s - "ccdcrc-$version.html" || fail "the zip's page is not dist's"
fi

# The page, from file://, gives the program's CRCs.
if [ -e "ccdcrc-$version.html" ]; then
  grep -q "$version" "ccdcrc-$version.html" || fail "the page does not name version $version"
  CCDCRC_PAGE=$dist/ccdcrc-$version.html CCDCRC_PROGRAM=$program \
    node --test --test-name-pattern="the example gives" "$root/tests/web/" >"$scratch/page.log" 2>&1 ||
    { cat "$scratch/page.log" >&2; fail "the page, opened from file:// in headless Chromium"; }
fi

# The source: the files of HEAD under ccdcrc-VERSION/.
source=ccdcrc-$version.tar.gz
if [ -e "$source" ]; then
  [ "$(tar -tzf "$source" | grep -v '/$' | sed "s|^ccdcrc-$version/||" | LC_ALL=C sort)" = \
    "$(git -C "$root" ls-tree -r --name-only HEAD | LC_ALL=C sort)" ] || fail "$source does not hold the files of HEAD"
fi

if [ "$failures" -gt 0 ]; then
  echo "dist test: $failures failures: dist/ is not to be released" >&2
  exit 1
fi
echo "dist test: every file of dist/ holds what it should"
