#!/usr/bin/env bash
# Builds the Debian package, checks that its dependencies are the packages of
# the shared libraries it names, installs it into a scratch root with dpkg
# (which checks the dependencies against the packages of this machine) and
# runs the program, its manual page and its completion from there.
#   debian_package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/deb" >"$scratch/cpack.log") || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(find "$scratch/deb" -maxdepth 1 -name 'ccdcrc_*.deb' -print -quit)
[ -n "$deb" ] || fail "no package was made"
depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): Depends: $depends"
dependency_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//' | sort -u)

# The package whose file a library is, whichever way the merged /usr names it.
owner() {
  local path
  for path in "$1" "${1#/usr}" "/usr$1" "$(readlink -f "$1")"; do
    dpkg -S "$path" 2>/dev/null | head -n 1 | sed 's/[:,].*//' && return 0
  done
  return 1
}
dpkg-deb -x "$deb" "$scratch/contents"
owners=$(
  find "$scratch/contents" -type f \( -path '*/bin/*' -o -name '*.so.*' \) | while read -r elf; do
    # The libraries it names itself (NEEDED), not those they load in turn.
    needed=$(objdump -p "$elf" | awk '$1 == "NEEDED" { print $2 }')
    ldd "$elf" | awk -v needed="$needed" 'BEGIN { split(needed, n, "\n"); for (i in n) want[n[i]] = 1 }
      $2 == "=>" && $3 ~ /^\// && ($1 in want) { print $3 }' | grep -v '/libccdcrc\.so' | while read -r library; do
      owner "$library" || fail "no package owns $library, loaded by $elf"
    done
  done | sort -u
)
[ "$owners" = "$dependency_names" ] ||
  fail "Depends names $(echo $dependency_names), the loaded libraries are of $(echo $owners)"

# A scratch root whose dpkg database holds the dependencies as this machine
# has them, so that dpkg checks the package's dependencies against them.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
for package in $dependency_names; do dpkg-query -s "$package"; echo; done >"$root/var/lib/dpkg/status"
# The scratch root has no shell: the maintainer scripts (ldconfig) run outside it.
dpkg --root="$root" --log=/dev/null --force-not-root --force-script-chrootless -i "$deb" >"$scratch/dpkg.log" 2>&1 ||
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
complete_words ccdcrc export x --a | grep -qx -- --all || fail "completion of 'export --a'"
complete_words ccdcrc all -f j | grep -qx json || fail "completion of '--format j'"
complete_words ccdcrc all "$source/examples/sub" | grep -qx "$source/examples/substation.scd" ||
  fail "completion of an SCD file"
echo "package installed into a scratch root: program, manual page and completion work"
