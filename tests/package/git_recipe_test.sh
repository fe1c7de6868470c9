#!/usr/bin/env bash
# The README's section "Version control", run as written on a fresh git
# repository holding the example's two revisions as station.scd: its set-up
# and export commands verbatim, and every `$ ` command it shows, whose output
# must be what the README shows (commit and blob ids aside).
#   git_recipe_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$1 source=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "git recipe test: $*" >&2; exit 1; }

section=$scratch/section.md
awk '/^## Version control/ { inside = 1; next } /^## / { inside = 0 } inside' "$source/README.md" >"$section"
[ -s "$section" ] || fail "README.md has no section 'Version control'"
mkdir "$scratch/bin" "$scratch/repository"
ln -s "$(readlink -f "$program")" "$scratch/bin/ccdcrc"
export PATH=$scratch/bin:$PATH HOME=$scratch GIT_CONFIG_NOSYSTEM=1 GIT_PAGER=cat
export GIT_AUTHOR_NAME=Engineer GIT_AUTHOR_EMAIL=engineer@example.org GIT_COMMITTER_NAME=Engineer \
  GIT_COMMITTER_EMAIL=engineer@example.org GIT_AUTHOR_DATE=2026-01-01T12:00:00Z GIT_COMMITTER_DATE=2026-01-01T12:00:00Z
cd "$scratch/repository"
git init -q .
# The set-up blocks (```sh), then the export block, as written.
awk '/^```sh$/ { n++; inside = 1; next } /^```$/ { inside = 0 } inside { print > (dir "/block" n ".sh") }' \
  dir="$scratch" "$section"
[ -e "$scratch/block1.sh" ] && [ -e "$scratch/block2.sh" ] || fail "the section has not two sh blocks"
bash -euo pipefail "$scratch/block1.sh" || fail "the set-up block failed"
cp "$source/examples/substation.scd" station.scd
git add station.scd .gitattributes
git commit -qm "Station Linden, revision 3B"
git tag v3B
cp "$source/examples/substation_rev2.scd" station.scd
git commit -qam "Revision 3C: trip GOOSE confRev 2, CL1101 interlock input rebound"
git tag v3C
bash -euo pipefail "$scratch/block2.sh" >/dev/null 2>"$scratch/export.err" || { cat "$scratch/export.err" >&2; fail "the export block failed"; }
[ "$(ls ccd)" = "$(printf '%s.ccd\n' CL1101 MU1001 MU1101 PL1101 PT1001)" ] || fail "export wrote $(ls ccd | xargs)"

# Each `$ COMMAND` of the output blocks, with the lines up to the next `$ ` or
# the block's end as its output. Commit and blob ids are masked.
mask() { sed -E 's/^commit [0-9a-f]{7,}$/commit ID/; s/^index [0-9a-f]{7,}\.\.[0-9a-f]{7,}/index ID..ID/'; }
awk '/^```/ { plain = !inside && $0 == "```"; inside = !inside; next } inside && plain' "$section" | awk -v dir="$scratch" '
  /^\$ / { n++; print substr($0, 3) > (dir "/command" n); next }
  n { print > (dir "/expected" n) }'
count=0
for command in "$scratch"/command*; do
  n=${command##*/command}
  expected=$scratch/expected$n
  actual=$(bash -o pipefail "$command" 2>"$scratch/err" | mask) && status=0 || status=$?
  [ "$status" -le 1 ] || { cat "$scratch/err" >&2; fail "failed ($status): $(cat "$command")"; }
  if [ -e "$expected" ]; then
    [ "$actual" = "$(mask <"$expected")" ] ||
      fail "$(cat "$command") printed:"$'\n'"$actual"$'\n'"README.md shows:"$'\n'"$(cat "$expected")"
  fi
  count=$((count + 1))
done
echo "the README's git recipe works on a fresh repository ($count commands, output as shown)"
