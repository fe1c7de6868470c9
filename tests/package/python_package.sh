# Sourced by the install and package tests: the installed Python package, on
# its own folder alone, prints the CRCs of the example as the build tree's
# program lists them, and `python3 -m ccdcrc` runs the installed program.
#   check_python_package PYTHON PACKAGES_DIR BUILD_DIR SOURCE_DIR INSTALLED_PROGRAM
check_python_package() {
  local python=$1 packages=$2 build=$3 source=$4 program=$5 expected printed
  expected=$("$build/console/ccdcrc" all "$source/examples/substation.scd" --format csv |
    awk -F, -v q="'" '$1 == "ied" { printf "%s%s%s%s: %s%s%s", (n++ ? ", " : "{"), q, $2, q, q, $3, q } END { print "}" }')
  printed=$(cd "$source" && env -u LD_LIBRARY_PATH PYTHONPATH="$packages" PYTHONDONTWRITEBYTECODE=1 "$python" -c \
    "import ccdcrc; print(ccdcrc.load('examples/substation.scd').crcs())") || fail "import ccdcrc failed"
  [ "$printed" = "$expected" ] || fail "the Python package prints $printed, not $expected"
  [ "$(PYTHONPATH="$packages" "$python" -c 'import ccdcrc; print(ccdcrc.__file__)')" = "$packages/ccdcrc/__init__.py" ] ||
    fail "ccdcrc was imported from elsewhere than $packages"
  [ "$(PYTHONPATH="$packages" PYTHONDONTWRITEBYTECODE=1 PATH=/nonexistent "$python" -m ccdcrc --version)" = \
    "$("$program" --version)" ] || fail "python3 -m ccdcrc does not run $program"
  echo "the Python package prints $printed"
}
