#!/usr/bin/env bash
# The shared library exports exactly the functions listed in the repository:
# a symbol cannot appear or disappear unnoticed.
#   exported_symbols.sh LIBRARY LIST
set -euo pipefail
library=$1 list=$2
if ! diff -u "$list" <(nm -D --defined-only "$library" | awk '{print $3}' | sort); then
  echo "the exported symbols of $library differ from $list (-: listed only, +: exported only)" >&2
  exit 1
fi
echo "$(wc -l <"$list") symbols exported, as listed"
