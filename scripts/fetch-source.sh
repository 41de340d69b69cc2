#!/usr/bin/env bash
# Fetches and unpacks one of Debian's source packages:
#   scripts/fetch-source.sh DIR PACKAGE=VERSION
# puts it in DIR (apt-get source: the upstream sources with Debian's patches
# applied). The machine's apt sources list binary packages only, so a copy
# of them that also lists sources is given to this call alone (keeping
# "deb", or the update would drop the binary lists).
set -euo pipefail
dir=$1
package=$2
mkdir -p "$dir"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT
for f in /etc/apt/sources.list.d/*.sources; do
  if [ -e "$f" ]; then sed 's/^Types:.*$/Types: deb deb-src/' "$f" > "$lists/$(basename "$f")"; fi
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  if [ -e "$f" ]; then sed -n 's/^deb \(.*\)$/deb \1\ndeb-src \1/p' "$f" >> "$lists/sources.list"; fi
done
touch "$lists/sources.list"
chmod -R a+rX "$lists"
apt_opts=(-o "Dir::Etc::SourceList=$lists/sources.list" -o "Dir::Etc::SourceParts=$lists")
$sudo apt-get update -qq "${apt_opts[@]}" >&2
(cd "$dir" && apt-get source -qq "${apt_opts[@]}" "$package" >&2)
