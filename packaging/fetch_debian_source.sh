#!/usr/bin/env bash
# fetch_debian_source.sh NAME [VERSION]: unpacks Debian's source package NAME
# into deb-src/NAME-VERSION of the cache of built dependencies
# (${CCDCRC_DEPS_CACHE:-~/.cache/ccdcrc-deps}; once) and prints that folder.
# VERSION is by default that of the host's installed packages built from NAME
# (e.g. zlib for zlib1g-dev). Cross builds (the page, Windows) and the wheel's
# static libraries compile the very libraries the Linux build links, from
# Debian's own sources.
#
# The packages come through an apt directory of its own beside them, with
# deb-src entries for the host's Debian mirrors (the release, its updates and
# its security updates): the system's sources and lists stay as they are.
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
if [ $name_only = 1 ]; then
  echo "$name-${version#*:}"
  exit 0
fi
d=${CCDCRC_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ccdcrc-deps}/deb-src
tree=$d/$name-${version#*:}
if [ -e "$tree/.unpacked" ]; then
  echo "$tree"
  exit 0
fi
mkdir -p "$d/lists/partial" "$d/archives/partial"
# One fetch at a time: apt's lists and the unpacked trees are shared.
exec 9>"$d/lock"
flock 9
if [ -e "$tree/.unpacked" ]; then
  echo "$tree"
  exit 0
fi

# The mirrors the host's Debian packages come from, as its sources name them.
uris=$( (awk '/^URIs:/ {for (i = 2; i <= NF; i++) print $i}' /etc/apt/sources.list.d/*.sources
         awk '$1 == "deb" {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z+]+:\/\//) {print $i; break}}' \
           /etc/apt/sources.list /etc/apt/sources.list.d/*.list) 2>/dev/null || true)
archive=$(grep -m 1 -E '/debian/?$' <<<"$uris" || echo http://deb.debian.org/debian)
security=$(grep -m 1 -E '/debian-security/?$' <<<"$uris" || echo http://deb.debian.org/debian-security)
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
[ -n "$codename" ] || { echo "fetch_debian_source: /etc/os-release names no Debian release" >&2; exit 1; }
keyring="[signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]"
printf 'deb-src %s %s %s main\n' "$keyring" "$archive" "$codename" "$keyring" "$archive" "$codename-updates" \
  "$keyring" "$security" "$codename-security" >"$d/sources.list.new"
opts=(-o "Dir::Etc::SourceList=$d/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o "Dir::State::Lists=$d/lists" -o "Dir::Cache::Archives=$d/archives")
# As root, apt would hand the download to its own user, who cannot write here.
[ "$(id -u)" -eq 0 ] && opts+=(-o APT::Sandbox::User=root)
# Lists older than a day, or of other mirrors, are read again.
if ! cmp -s "$d/sources.list.new" "$d/sources.list" ||
   [ -z "$(find "$d/lists" -maxdepth 1 -name '*Sources*' -mtime -1)" ]; then
  mv "$d/sources.list.new" "$d/sources.list"
  if ! apt-get "${opts[@]}" update -qq >&2; then
    echo "fetch_debian_source: cannot read the lists of Debian's source packages ($(tr '\n' ' ' <"$d/sources.list"))" >&2
    exit 1
  fi
fi
rm -f "$d/sources.list.new"
work=$d/work-$name
rm -rf "$work"
mkdir -p "$work"
if ! (cd "$work" && apt-get "${opts[@]}" source --download-only -qq "$name=$version" >&2); then
  echo "fetch_debian_source: cannot fetch Debian's source package $name $version (the Linux build links that version)" >&2
  exit 1
fi
dsc=$(ls "$work"/*.dsc)
# apt checked the files against the signed lists; dpkg-source applies Debian's patches.
rm -rf "$tree"
(cd "$work" && dpkg-source --no-check -x "$dsc" "$tree" >&2)
# dpkg-source leaves the original tarball beside the tree.
rm -rf "$work" "$d/${name}_"*
touch "$tree/.unpacked"
echo "$tree"
