#!/usr/bin/env bash
# ./dev dist: the source of the commit checked out (git archive of HEAD: its
# files, with the commit's time), in a folder ccdcrc-VERSION.
#   source.sh DIST_DIR VERSION
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "dist: the source archive holds HEAD; changes not committed are not in it" >&2
fi
git archive --format=tar.gz --prefix="ccdcrc-$2/" -o "$1/ccdcrc-$2.tar.gz" HEAD
