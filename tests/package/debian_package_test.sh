#!/usr/bin/env bash
# Builds the Debian packages (ccdcrc, libccdcrc0, libccdcrc-dev), has lintian
# find no error or warning in them, checks that their dependencies are the
# packages of the shared libraries they name, installs them into a scratch
# root with dpkg (which checks the dependencies against the packages of this
# machine) and runs the program, its manual page and its completion from there,
# and pkg-config on the development files. With PYTHON, the same for
# python3-ccdcrc, which also depends on the interpreter's version and on
# ccdcrc, and whose package must import and run the program.
#   debian_package_test.sh BUILD_DIR SOURCE_DIR [PYTHON]
set -euo pipefail
build=$1 source=$2 python=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/deb" >"$scratch/cpack.log") || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
package_file() { find "$scratch/deb" -maxdepth 1 -name "$1_*.deb" -print -quit; }
deb=$(package_file ccdcrc)
library_deb=$(package_file libccdcrc0)
dev_deb=$(package_file libccdcrc-dev)
[ -n "$deb" ] && [ -n "$library_deb" ] && [ -n "$dev_deb" ] || fail "not every package was made: $(ls "$scratch/deb")"
debs=("$deb" "$library_deb" "$dev_deb")
if [ -n "$python" ]; then
  python_deb=$(package_file python3-ccdcrc)
  [ -n "$python_deb" ] || fail "no Python package was made"
  debs+=("$python_deb")
fi

# The package whose file a library is, whichever way the merged /usr names it.
owner() {
  local path
  for path in "$1" "${1#/usr}" "/usr$1" "$(readlink -f "$1")"; do
    dpkg -S "$path" 2>/dev/null | head -n 1 | sed 's/[:,].*//' && return 0
  done
  return 1
}
# The packages that own the libraries that the programs and libraries of a package load.
library_owners() {
  local contents=$scratch/contents/$(basename "$1")
  mkdir -p "$scratch/contents"
  dpkg-deb -x "$1" "$contents"
  find "$contents" -type f \( -path '*/bin/*' -o -name '*.so.*' -o -name '*.so' \) | while read -r elf; do
    # The libraries it names itself (NEEDED), not those they load in turn.
    needed=$(objdump -p "$elf" | awk '$1 == "NEEDED" { print $2 }')
    ldd "$elf" | awk -v needed="$needed" 'BEGIN { split(needed, n, "\n"); for (i in n) want[n[i]] = 1 }
      $2 == "=>" && $3 ~ /^\// && ($1 in want) { print $3 }' | grep -v '/libccdcrc\.so' | while read -r library; do
      owner "$library" || fail "no package owns $library, loaded by $elf"
    done
  done | sort -u
}
dependency_names() { dpkg-deb -f "$1" Depends | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | sort -u; }

# Errors and warnings fail; overrides, if ever needed, go with their reason
# into packaging/ and are named here.
if command -v lintian >/dev/null; then
  lintian --pedantic --fail-on error,warning "${debs[@]}" 2>/dev/null || fail "lintian found errors or warnings (above)"
else
  fail "lintian is not installed (./dev setup installs it)"
fi

for package in "$deb" "$library_deb"; do
  echo "$(basename "$package"): Depends: $(dpkg-deb -f "$package" Depends)"
  owners=$(library_owners "$package")
  [ "$owners" = "$(dependency_names "$package")" ] ||
    fail "$(basename "$package"): Depends names $(dependency_names "$package" | xargs), the loaded libraries are of $(echo $owners)"
done
[ "$(dpkg-deb -f "$dev_deb" Depends)" = "libccdcrc0 (= $(dpkg-deb -f "$deb" Version))" ] ||
  fail "libccdcrc-dev does not depend on libccdcrc0 of its version: $(dpkg-deb -f "$dev_deb" Depends)"
# The library: ldconfig by dpkg's trigger, no maintainer scripts.
control=$scratch/control
dpkg-deb -e "$library_deb" "$control"
[ "$(cat "$control/triggers")" = "activate-noawait ldconfig" ] || fail "libccdcrc0 has no ldconfig trigger"
[ ! -e "$control/postinst" ] && [ ! -e "$control/postrm" ] || fail "libccdcrc0 has maintainer scripts"
grep -q '^libccdcrc.so.0 libccdcrc0 #MINVER#$' "$control/symbols" || fail "libccdcrc0 has no symbols file"
if [ -n "$python" ]; then
  echo "$(basename "$python_deb"): Depends: $(dpkg-deb -f "$python_deb" Depends)"
  version=$("$python" -c 'import sys; print(*sys.version_info[:2], sep=".")')
  next="${version%.*}.$((${version#*.} + 1))"
  grep -qF "python3 (>= $version~), python3 (<< $next), ccdcrc (= $(dpkg-deb -f "$deb" Version))" <<<"$(dpkg-deb -f "$python_deb" Depends)" ||
    fail "python3-ccdcrc does not depend on python3 $version and ccdcrc of its version"
  owners=$(printf '%s\n' $(library_owners "$python_deb") python3 ccdcrc | sort -u)
  [ "$owners" = "$(dependency_names "$python_deb")" ] ||
    fail "python3-ccdcrc: Depends names $(dependency_names "$python_deb" | xargs), expected $(echo $owners)"
fi

# A scratch root whose dpkg database holds the dependencies as this machine
# has them, so that dpkg checks the packages' dependencies against them.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
for package in $(for d in "${debs[@]}"; do dependency_names "$d"; done | sort -u | grep -vxE 'ccdcrc|libccdcrc0'); do
  dpkg-query -s "$package"
  echo
done >"$root/var/lib/dpkg/status"
# The scratch root has no shell: maintainer scripts, if any, run outside it.
dpkg --root="$root" --log=/dev/null --force-not-root --force-script-chrootless -i "${debs[@]}" >"$scratch/dpkg.log" 2>&1 ||
  { cat "$scratch/dpkg.log" >&2; fail "dpkg -i failed"; }

program=$root/usr/bin/ccdcrc
[ "$(env -u LD_LIBRARY_PATH "$program" --version)" = "$("$build/console/ccdcrc" --version)" ] ||
  fail "the installed program gives another version"
[ "$("$program" all "$source/examples/substation.scd")" = "$("$build/console/ccdcrc" all "$source/examples/substation.scd")" ] ||
  fail "the installed program gives other CRCs"
[ -e "$root/usr/share/doc/ccdcrc/copyright" ] && grep -q 'License: Apache-2.0' "$root/usr/share/doc/ccdcrc/copyright" ||
  fail "no Apache-2.0 copyright file"

manual=$(MANPAGER=cat MANWIDTH=100 LC_ALL=C.UTF-8 man --manpath="$root/usr/share/man" ccdcrc 2>"$scratch/man.err") ||
  { cat "$scratch/man.err" >&2; fail "man ccdcrc failed"; }
for heading in NAME SYNOPSIS COMMANDS "EXIT STATUS" EXAMPLES; do
  grep -q "^$heading" <<<"$manual" || fail "man ccdcrc has no $heading"
done

# Completion as bash runs it: COMP_WORDS up to the word being completed.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _ccdcrc; printf "%s\n" "${COMPREPLY[@]}"' \
    completion "$root/usr/share/bash-completion/completions/ccdcrc" "$@"
}
[ "$(complete_words ccdcrc ex)" = "export" ] || fail "completion of 'ex': $(complete_words ccdcrc ex)"
grep -qx -- --all <<<"$(complete_words ccdcrc export x --a)" || fail "completion of 'export --a'"
grep -qx json <<<"$(complete_words ccdcrc all -f j)" || fail "completion of '--format j'"
# Into a variable first: grep -q ends at the first match, and pipefail would
# count the writer's broken pipe as a failure.
offered=$(complete_words ccdcrc all "$source/examples/sub")
grep -qx "$source/examples/substation.scd" <<<"$offered" || fail "completion of an SCD file: $offered"
# pkg-config on the installed development files: clean paths under /usr.
libdir=$(dirname "$(find "$root/usr/lib" -name ccdcrc.pc -print -quit)")
[ "$(PKG_CONFIG_LIBDIR=$libdir pkg-config --variable=libdir ccdcrc)" = "/usr/lib/$(dirname "${libdir#"$root"/usr/lib/}")" ] ||
  fail "ccdcrc.pc names another library folder: $(PKG_CONFIG_LIBDIR=$libdir pkg-config --variable=libdir ccdcrc)"
flags=$(PKG_CONFIG_LIBDIR=$libdir pkg-config --cflags --libs ccdcrc | xargs)
[ "$flags" = "-lccdcrc" ] || fail "pkg-config --cflags --libs ccdcrc prints $flags"
if [ -n "$python" ]; then
  # shellcheck source=python_package.sh
  source "$(dirname "$0")/python_package.sh"
  check_python_package "$python" "$root/usr/lib/python3/dist-packages" "$build" "$source" "$root/usr/bin/ccdcrc"
fi
echo "package installed into a scratch root: program, manual page and completion work"
