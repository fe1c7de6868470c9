#!/usr/bin/env bash
# Builds the wheel from the source tree offline, as `pip install .
# --no-build-isolation` does, installs it into a fresh venv with nothing but
# the wheel, and runs it there: `import ccdcrc` gives the CRCs that the build
# tree's program lists, and `python3 -m ccdcrc` and the venv's `ccdcrc` run the
# program the wheel carries. The CMake tree BUILD_DIR-wheel is kept between
# runs; at the depth of BUILD_DIR, its compilations are ccache hits of
# BUILD_DIR's (under ./dev, which sets CCACHE_BASEDIR).
#   wheel_test.sh BUILD_DIR SOURCE_DIR PYTHON
set -euo pipefail
build=$1 source=$2 python=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "wheel test: $*" >&2; exit 1; }

(cd "$source" && CCDCRC_CMAKE_BUILD_DIR=$build-wheel PIP_NO_INDEX=1 "$python" -m pip wheel . --no-build-isolation \
  --no-deps -w "$scratch/wheel" >"$scratch/build.log" 2>&1) || { tail -n 40 "$scratch/build.log" >&2; fail "no wheel"; }
wheel=$(find "$scratch/wheel" -name 'ccdcrc-*.whl' -print -quit)
[ -n "$wheel" ] || fail "no wheel was made"
echo "built $(basename "$wheel")"
"$python" -m venv "$scratch/venv" || fail "python3 -m venv failed"
"$scratch/venv/bin/python" -m pip install --no-index -q "$wheel" || fail "the wheel does not install"

scd=$source/examples/substation.scd
expected=$("$build/console/ccdcrc" all "$scd" --format csv |
  awk -F, -v q="'" '$1 == "ied" { printf "%s%s%s%s: %s%s%s", (n++ ? ", " : "{"), q, $2, q, q, $3, q } END { print "}" }')
cd "$scratch"
printed=$(env -u PYTHONPATH -u LD_LIBRARY_PATH "$scratch/venv/bin/python" -c \
  "import ccdcrc; print(ccdcrc.load('$scd').crcs())") || fail "import ccdcrc failed in the venv"
[ "$printed" = "$expected" ] || fail "the wheel prints $printed, not $expected"
version=$("$build/console/ccdcrc" --version)
[ "$(PATH=/nonexistent "$scratch/venv/bin/python" -m ccdcrc --version)" = "$version" ] ||
  fail "python3 -m ccdcrc does not run the wheel's program"
[ "$(PATH=/nonexistent "$scratch/venv/bin/ccdcrc" --version)" = "$version" ] || fail "the venv has no ccdcrc command"
echo "the wheel installs into a fresh venv and prints $printed"
