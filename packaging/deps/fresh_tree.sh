#!/usr/bin/env bash
# fresh_tree.sh TREE PREFIX: a CMake tree keeps in its cache the libraries it
# found first (find_package, pkg-config). A tree built on the libraries of a
# cache of built dependencies (PREFIX, named by its recipe's hash) that was
# configured with another PREFIX forgets its cache, so that the next
# configure finds the libraries of this one instead of linking stale ones.
set -euo pipefail
tree=$1 prefix=$2
stamp=$tree/.dependencies-prefix
if [ -e "$tree/CMakeCache.txt" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$prefix" ]; then
  echo "fresh_tree: $tree was configured on other libraries than $prefix: configured afresh" >&2
  rm -f "$tree/CMakeCache.txt"
fi
mkdir -p "$tree"
printf '%s\n' "$prefix" >"$stamp"
