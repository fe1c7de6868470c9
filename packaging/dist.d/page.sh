#!/usr/bin/env bash
# ./dev dist: the offline page that ./dev dist built (./dev web), named by its version.
#   page.sh DIST_DIR VERSION
set -euo pipefail
cd "$(dirname "$0")/../.."
cp build/web/ccdcrc.html "$1/ccdcrc-$2.html"
