#!/usr/bin/env bash
# Installs what cross-building the Windows programs, packing the setup
# program and testing them under Wine needs (Debian packages, only those
# missing), and fetches the sources of the libraries Debian ships for Linux
# only: scripts/deps-windows.sh DIR puts libxlsxwriter's in
# DIR/libxlsxwriter-<version> and SQLite's in DIR/sqlite3-<version>, finds
# or makes Qt for Windows (scripts/qt-windows.sh, kept outside the
# checkout), and prints the CMake options that name them, one a line.
#
# The sources are those of Debian's own packages, of the very versions
# libxlsxwriter-dev and libsqlite3-dev have here, so Linux and Windows write
# workbooks and logbooks with the same libraries (scripts/fetch-source.sh).
#
# SQLite's source package is its full tree; the build host turns it into
# the one-file form (sqlite3.c, sqlite3.h) with its own configure and make
# (tclsh runs the generators), in DIR/sqlite3-<version>/amalgamation, which
# the Windows build compiles. Both are kept: a second run does nothing.
set -euo pipefail
mkdir -p "$1"
dir=$(cd "$1" && pwd)
here=$(dirname "$0")
"$here/deps.sh"

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev googletest tcl make
          qt6-base-dev-tools ninja-build perl nsis fonts-wine twm xfonts-base)
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

# The upstream version of the source package an installed package comes from.
upstream_of() {
  local version
  version=$(dpkg-query -W -f='${source:Version}' "$1")
  version=${version%-*}
  echo "${version#*:}"
}

# apt-get source PACKAGE=VERSION into $dir.
fetch_source() { "$here/fetch-source.sh" "$dir" "$1"; }

xlsx="$dir/libxlsxwriter-$(upstream_of libxlsxwriter-dev)"
if [ ! -f "$xlsx/include/xlsxwriter.h" ]; then
  fetch_source "libxlsxwriter=$(dpkg-query -W -f='${source:Version}' libxlsxwriter-dev)"
fi

sqlite="$dir/sqlite3-$(upstream_of libsqlite3-dev)"
amalgamation="$sqlite/amalgamation"
if [ ! -f "$amalgamation/sqlite3.c" ] || [ ! -f "$amalgamation/sqlite3.h" ]; then
  if [ ! -f "$sqlite/src/sqlite.h.in" ]; then
    fetch_source "sqlite3=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)"
  fi
  # Generated in a folder of its own, then moved in place whole: a run cut
  # short leaves no half-made file that a later run would take as done.
  work="$sqlite/amalgamation.part"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && "$sqlite/configure" --disable-tcl >&2 && make sqlite3.c >&2)
  rm -rf "$amalgamation" && mkdir -p "$amalgamation"
  mv "$work/sqlite3.c" "$work/sqlite3.h" "$amalgamation/"
  rm -rf "$work"
fi
qt=$("$here/qt-windows.sh")
echo "-DORVYPC_XLSXWRITER_SOURCE=$xlsx"
echo "-DORVYPC_SQLITE_AMALGAMATION=$amalgamation"
echo "-DORVYPC_QT_WINDOWS=$qt"
echo "-DORVYPC_BUILD_GUI=ON"
