# Sourced by the recipes in this folder. Each builds libraries once into a
# folder of the cache of built dependencies and prints that folder:
#   ${CCDCRC_DEPS_CACHE:-~/.cache/ccdcrc-deps}/KIND/HASH
# HASH is that of the recipe: the recipe's text and this file's, the fetching
# script's, the files it names (a toolchain) and words (the Debian versions of
# the sources and of the compilers). A change to any of them builds from
# nothing into a new folder; a folder is used only once its build has ended.
#
# A recipe calls `recipe_prefix KIND FILE... -- WORD...` and then
# `build_once`, which runs the recipe again as `RECIPE --build PREFIX` (its
# output in PREFIX.log, shown when it fails) unless PREFIX was built before.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
recipe=$(realpath "$0")
fetch=$root/packaging/fetch_debian_source.sh
jobs=${CCDCRC_JOBS:-2}
cache=${CCDCRC_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ccdcrc-deps}

# The Debian versions of installed packages, as words of a recipe.
package_versions() { dpkg-query -W -f='${Package}=${Version}\n' "$@"; }

recipe_prefix() {  # recipe_prefix KIND FILE... -- WORD...
  kind=$1
  shift
  local files=("$recipe" "$root/packaging/deps/cache.sh" "$fetch") hash
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    files+=("$1")
    shift
  done
  [ $# -eq 0 ] || shift
  hash=$({ cat "${files[@]}" && printf '%s\n' "$@"; } | sha256sum | cut -c 1-16)
  prefix=$cache/$kind/$hash
}

build_once() {
  mkdir -p "$cache/$kind"
  # Another build of the same recipe (another checkout) is waited for.
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -e "$prefix/.built" ]; then
    echo "deps: building the $kind libraries into $prefix" >&2
    rm -rf "$prefix" "$prefix.tree"
    mkdir -p "$prefix" "$prefix.tree"
    if ! bash "$recipe" --build "$prefix" >"$prefix.log" 2>&1; then
      tail -n 40 "$prefix.log" >&2
      echo "deps: building the $kind libraries failed (log: $prefix.log)" >&2
      exit 1
    fi
    rm -rf "$prefix.tree"
    touch "$prefix/.built"
  fi
  exec 9>&-
}
