#!/usr/bin/env bash
# Makes Qt for Windows once per machine and prints its folder:
#   scripts/qt-windows.sh
#
# qtbase from Debian's own source package, of exactly the version the
# installed qt6-base-dev has, cross-built with Debian's mingw-w64 (POSIX
# threads) against the host tools of that installed Qt (QT_HOST_PATH), with
# only what the desktop program and its tests use: Core, Gui (with its PDF
# writer), Widgets, Test, the Windows platform plug-in, the offscreen one
# for tests without a display, the Windows style, PNG and BMP images.
# Shared: the program ships Qt's DLLs beside itself (README, "Windows").
#
# Kept outside the checkout, in
#   ${XDG_CACHE_HOME:-~/.cache}/orvypc/qt6-<version>-<key>/
# where the key is a hash of the configure options, the toolchain file and
# the patches (cmake/qt-windows/), so a change to any of them makes a new
# one. It is built in a folder of its own beside it and moved into place
# whole; the stamp file, written last, lists every file with its checksum,
# and each later run checks them: a half-made or damaged Qt is made again.
# Two runs at once wait for each other. The build runs with nice (it takes
# half an hour to an hour on 2 cores).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
recipe=$(cd "$here/../cmake/qt-windows" && pwd)

options=(
  -release -shared -xplatform win32-g++
  -nomake examples -nomake tests -nomake benchmarks
  -no-feature-network -no-feature-sql -no-feature-dbus -no-feature-printsupport
  -no-feature-concurrent -no-feature-xml
  -no-opengl -no-feature-vulkan
  # Debian's source leaves out the tablet library; without Direct2D and
  # DirectWrite the fonts go through GDI, which every Windows has.
  -no-feature-tabletevent -no-feature-direct2d -no-feature-directwrite
  -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-textodfwriter
  -qt-zlib -qt-libpng -no-libjpeg -no-gif -no-ico -no-zstd -no-icu
  -qt-pcre -qt-freetype -qt-harfbuzz
)

full_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${full_version%-*}
upstream=${upstream#*:}
upstream=${upstream%+dfsg}
key=$( { echo "$full_version"; printf '%s\n' "${options[@]}"
         for f in "$recipe"/*; do echo "== $(basename "$f")"; cat "$f"; done; } |
       sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/orvypc
prefix="$cache/qt6-$upstream-$key"
stamp="$prefix/orvypc-qt.sha256"
mkdir -p "$cache"

say() { echo "qt-windows: $*" >&2; }

# Every file listed with its checksum, and all of them as listed.
intact() {
  [ -s "$stamp" ] && (cd "$prefix" && sha256sum --quiet --strict -c orvypc-qt.sha256 >/dev/null 2>&1)
}

exec 9>"$prefix.lock"
flock 9
if intact; then
  say "Qt $upstream for Windows found in $prefix (checked)"
  echo "$prefix"
  exit 0
fi
if [ -e "$prefix" ]; then
  say "the Qt in $prefix is incomplete or damaged: making it again"
  rm -rf "$prefix"
fi

started=$(date +%s)
work="$prefix.build"
rm -rf "$work" && mkdir -p "$work"
say "making Qt $upstream for Windows in $prefix (30-60 minutes on 2 cores; build tree $work)"
"$here/fetch-source.sh" "$work" "qt6-base=$full_version"
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -n "$src" ] || { say "apt-get source gave no qt6-base folder"; exit 1; }
for patch in "$recipe"/*.patch; do
  if [ -e "$patch" ]; then
    say "applying $(basename "$patch")"
    patch -d "$src" -p1 --quiet < "$patch"
  fi
done

mkdir -p "$work/build"
say "configuring ($(date +%H:%M))"
(cd "$work/build" &&
  "$src/configure" -prefix "$prefix" "${options[@]}" -qt-host-path /usr -- \
    -G Ninja -DCMAKE_TOOLCHAIN_FILE="$recipe/toolchain.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake") > "$work/configure.log" 2>&1 ||
  { tail -n 40 "$work/configure.log" >&2; say "configure failed; the whole log: $work/configure.log"; exit 1; }
say "building ($(date +%H:%M))"
nice cmake --build "$work/build" --parallel "$(nproc)" > "$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log" >&2; say "the build failed; the whole log: $work/build.log"; exit 1; }
# Installed into a staging folder under the final path's name, then moved
# into place in one step.
DESTDIR="$work/stage" cmake --install "$work/build" > "$work/install.log" 2>&1 ||
  { tail -n 20 "$work/install.log" >&2; say "the install failed"; exit 1; }
# The toolchain Qt was built with goes with it: its own CMake files name it.
cp "$recipe/toolchain.cmake" "$work/stage$prefix/lib/cmake/orvypc-mingw-toolchain.cmake"
sed -i "s|$recipe/toolchain.cmake|$prefix/lib/cmake/orvypc-mingw-toolchain.cmake|g" \
  "$work/stage$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
mv "$work/stage$prefix" "$prefix"
# The stamp lists every file but itself (and its own part, which the
# redirection makes before find looks).
(cd "$prefix" && find . -type f ! -name 'orvypc-qt.sha256*' -print0 | sort -z |
  xargs -0 sha256sum > orvypc-qt.sha256.part && mv orvypc-qt.sha256.part orvypc-qt.sha256)
rm -rf "$work"
elapsed=$(( $(date +%s) - started ))
say "Qt $upstream for Windows made in $((elapsed / 60)) min $((elapsed % 60)) s: $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix"
