#!/usr/bin/env bash
# Builds the Debian package, checks that its dependencies are the packages of
# the shared libraries it names, installs it into a scratch root with dpkg
# (which checks the dependencies against the packages of this machine) and
# runs the program, its manual page and its completion from there. With
# PYTHON, the same for python3-ccdcrc, which also depends on the interpreter's
# version and on ccdcrc, and whose package must import and run the program.
#   debian_package_test.sh BUILD_DIR SOURCE_DIR [PYTHON]
set -euo pipefail
build=$1 source=$2 python=${3:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/deb" >"$scratch/cpack.log") || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
package_file() { find "$scratch/deb" -maxdepth 1 -name "$1_*.deb" -print -quit; }
deb=$(package_file ccdcrc)
[ -n "$deb" ] || fail "no package was made"
debs=("$deb")
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

depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): Depends: $depends"
owners=$(library_owners "$deb")
[ "$owners" = "$(dependency_names "$deb")" ] ||
  fail "Depends names $(dependency_names "$deb" | xargs), the loaded libraries are of $(echo $owners)"
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
for package in $(for d in "${debs[@]}"; do dependency_names "$d"; done | sort -u | grep -vx ccdcrc); do
  dpkg-query -s "$package"
  echo
done >"$root/var/lib/dpkg/status"
# The scratch root has no shell: the maintainer scripts (ldconfig) run outside it.
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
if [ -n "$python" ]; then
  # shellcheck source=python_package.sh
  source "$(dirname "$0")/python_package.sh"
  check_python_package "$python" "$root/usr/lib/python3/dist-packages" "$build" "$source" "$root/usr/bin/ccdcrc"
fi
echo "package installed into a scratch root: program, manual page and completion work"
