#!/usr/bin/env bash
# ./dev dist: the Windows zip (packaging/windows/build.sh), with the page that
# ./dev dist built before.
#   windows.sh DIST_DIR VERSION
set -euo pipefail
cd "$(dirname "$0")/../.."
packaging/windows/build.sh
cp "build/windows/ccdcrc-$2-windows-x64.zip" "$1/"
