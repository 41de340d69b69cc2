#!/usr/bin/env bash
# Installs what cross-building the Windows programs and testing them under
# Wine needs (Debian packages, only those missing), and fetches the sources
# of libxlsxwriter for Windows: scripts/deps-windows.sh DIR puts them in
# DIR/libxlsxwriter-<version> and prints that folder.
#
# The sources are those of Debian's own libxlsxwriter package, of the very
# version libxlsxwriter-dev has here, so Linux and Windows write workbooks
# with the same library. The machine's apt sources list binary packages
# only, so a copy of them that also lists sources is given to these calls
# alone (keeping "deb", or the update would drop the binary lists).
set -euo pipefail
mkdir -p "$1"
dir=$(cd "$1" && pwd)
here=$(dirname "$0")
"$here/deps.sh"

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev googletest)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

version=$(dpkg-query -W -f='${source:Version}' libxlsxwriter-dev)
upstream=${version%-*}
upstream=${upstream#*:}
src="$dir/libxlsxwriter-$upstream"
if [ ! -f "$src/include/xlsxwriter.h" ]; then
  mkdir -p "$dir"
  # The machine's sources, each also listing source packages.
  lists="$dir/apt-sources"
  rm -rf "$lists" && mkdir -p "$lists"
  for f in /etc/apt/sources.list.d/*.sources; do
    if [ -e "$f" ]; then sed 's/^Types:.*$/Types: deb deb-src/' "$f" > "$lists/$(basename "$f")"; fi
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    if [ -e "$f" ]; then sed -n 's/^deb \(.*\)$/deb \1\ndeb-src \1/p' "$f" >> "$lists/sources.list"; fi
  done
  touch "$lists/sources.list"
  apt_opts=(-o "Dir::Etc::SourceList=$lists/sources.list" -o "Dir::Etc::SourceParts=$lists")
  $sudo apt-get update -qq "${apt_opts[@]}" >&2
  (cd "$dir" && apt-get source -qq "${apt_opts[@]}" "libxlsxwriter=$version" >&2)
fi
echo "$src"
