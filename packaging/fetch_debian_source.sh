#!/usr/bin/env bash
# fetch_debian_source.sh NAME [VERSION]: unpacks Debian's source package NAME
# into build/deb-src/NAME-VERSION (once) and prints that folder. VERSION is by
# default that of the host's installed packages built from NAME (e.g. zlib
# for zlib1g-dev). Cross builds (the page, Windows) compile the
# very libraries the Linux build links, from Debian's own sources.
#
# The packages come through an apt directory of its own under build/deb-src
# with a deb-src entry for the host's Debian mirror: the system's sources and
# lists stay as they are.
#
# fetch_debian_source.sh --name NAME prints NAME-VERSION only, fetching
# nothing: what a cache of libraries built from it is named by.
set -euo pipefail
name_only=0
if [ "${1:-}" = --name ]; then
  name_only=1
  shift
fi
name=$1 version=${2:-}
if [ -z "$version" ]; then
  version=$(dpkg-query -W -f='${source:Package} ${source:Version}\n' | awk -v n="$name" '$1 == n && !v {v = $2} END {print v}')
  [ -n "$version" ] || { echo "fetch_debian_source: no installed package is built from $name" >&2; exit 1; }
fi
cd "$(dirname "$0")/.."
d=$PWD/build/deb-src
tree=$d/$name-${version#*:}
if [ $name_only = 1 ]; then
  basename "$tree"
  exit 0
fi
if [ -e "$tree/.unpacked" ]; then
  echo "$tree"
  exit 0
fi
mkdir -p "$d/lists/partial" "$d/archives/partial"
if [ ! -e "$d/sources.list" ]; then
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $0 ~ /debian/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $codename main" \
    >"$d/sources.list"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $codename-updates main" \
    >>"$d/sources.list"
fi
opts=(-o "Dir::Etc::SourceList=$d/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o "Dir::State::Lists=$d/lists" -o "Dir::Cache::Archives=$d/archives")
# As root, apt would hand the download to its own user, who cannot write here.
[ "$(id -u)" -eq 0 ] && opts+=(-o APT::Sandbox::User=root)
# A list older than a day is read again.
if [ -z "$(find "$d/lists" -maxdepth 1 -name '*Sources*' -mtime -1 2>/dev/null)" ]; then
  apt-get "${opts[@]}" update -qq >&2
fi
work=$d/work-$name
rm -rf "$work"
mkdir -p "$work"
if ! (cd "$work" && apt-get "${opts[@]}" source --download-only -qq "$name=$version" >&2); then
  echo "fetch_debian_source: cannot fetch Debian's source package $name $version (the Linux build links that version)" >&2
  exit 1
fi
dsc=$(ls "$work"/*.dsc)
# dpkg-source checks the signatures of the files against the .dsc; without
# dpkg-dev the orig tarball is unpacked as it is.
rm -rf "$tree"
if command -v dpkg-source >/dev/null; then
  (cd "$work" && dpkg-source --no-check -x "$dsc" "$tree" >&2)
else
  mkdir -p "$tree"
  tar -xf "$(ls "$work"/*.orig.tar.*)" -C "$tree" --strip-components=1
fi
touch "$tree/.unpacked"
echo "$tree"
