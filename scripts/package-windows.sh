#!/usr/bin/env bash
# Makes the Windows setup program from a Windows build tree:
#   scripts/package-windows.sh [DIR] (default build-win)
# gives DIR/package/OrvyPc-<version>-setup.exe (NSIS, packaging/windows/).
#
# What it installs is gathered in DIR/package/OrvyPc/: orvypc.exe (the
# window), orvypc.com (the console's), the simulator, Qt's DLLs with the
# Windows platform plug-in and style (from the Qt the build used), stripped,
# and the licences of what is in them. Qt is shipped as its own DLLs, so a
# user may put other builds of them in their place (LGPL).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=${1:-build-win}
cache="$dir/CMakeCache.txt"
[ -f "$cache" ] || { echo "package-windows: no build in $dir" >&2; exit 1; }
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
version=$(setting CMAKE_PROJECT_VERSION)
qt=$(setting ORVYPC_QT_WINDOWS)
[ -n "$qt" ] || { echo "package-windows: $dir was built without Qt for Windows" >&2; exit 1; }
strip=x86_64-w64-mingw32-strip

out="$dir/package"
files="$out/OrvyPc"
rm -rf "$files" && mkdir -p "$files/platforms" "$files/styles" "$files/licences"
cp "$dir/app/orvypc.exe" "$dir/app/orvypc.com" "$dir/sim/orvypc-gateway-sim.exe" "$files/"
cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$files/"
cp "$qt/plugins/platforms/qwindows.dll" "$files/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$files/styles/"
find "$files" -name '*.exe' -o -name '*.com' -o -name '*.dll' | while read -r f; do "$strip" --strip-unneeded "$f"; done

# The licences: Qt's (LGPL 3, which builds on the GPL 3) and those of what
# the programs have linked in, from the Debian packages they were built from.
cp /usr/share/common-licenses/LGPL-3 "$files/licences/LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$files/licences/GPL-3.txt"
for package in libqt6core6 libxlsxwriter-dev libsqlite3-dev nlohmann-json3-dev libz-mingw-w64-dev \
               mingw-w64-x86-64-dev gcc-mingw-w64-base; do
  cp "/usr/share/doc/$package/copyright" "$files/licences/$package.txt"
done
qt_version=$(basename "$qt" | sed 's/^qt6-\([0-9.]*\)-.*/\1/')
cat > "$files/licences/README.txt" <<EOF
OrvyPc $version for Windows

Qt $qt_version (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, platforms\\qwindows.dll,
styles\\qwindowsvistastyle.dll) is used under the GNU Lesser General Public
License version 3 (LGPL-3.txt, which adds to GPL-3.txt). It was built
unchanged from Debian's source package qt6-base $(dpkg-query -W -f='${Version}' qt6-base-dev)
(https://sources.debian.org/src/qt6-base/), with Debian's mingw-w64
compilers; the options are in OrvyPc's scripts/qt-windows.sh. You may
replace these DLLs with your own build of that Qt version.

The programs contain libxlsxwriter, SQLite, nlohmann/json, zlib and the
mingw-w64 runtime (winpthreads); their licences are in the other files of
this folder, taken from the Debian packages they were built from.
EOF
sed -i 's/$/\r/' "$files/licences/README.txt"

# The lines that install and remove each file, for the NSIS script.
(cd "$files" && find . -type d ! -name . | sed 's|^\./||' | sort) > "$out/dirs.txt"
(cd "$files" && find . -type f | sed 's|^\./||' | sort) > "$out/files.txt"
{
  while read -r d; do echo "CreateDirectory \"\$INSTDIR\\${d//\//\\}\""; done < "$out/dirs.txt"
  while read -r f; do
    echo "SetOutPath \"\$INSTDIR\\$(dirname "$f" | sed 's|^\.$||; s|/|\\|g')\""
    echo "File \"/oname=$(basename "$f")\" \"${f//\//\\}\""
  done < "$out/files.txt"
  echo "SetOutPath \"\$INSTDIR\""
} > "$files.nsh"
{
  while read -r f; do echo "Delete \"\$INSTDIR\\${f//\//\\}\""; done < "$out/files.txt"
  sort -r "$out/dirs.txt" | while read -r d; do echo "RMDir \"\$INSTDIR\\${d//\//\\}\""; done
} > "$out/unfiles.nsh"
mv "$files.nsh" "$out/files.nsh"

setup="$(cd "$out" && pwd)/OrvyPc-$version-setup.exe"
rm -f "$setup"
started=$(date +%s)
(cd "$files" && makensis -V2 -NOCD -DVERSION="$version" -DLISTS="$(cd .. && pwd)" \
  -DICON="$(cd "$root/$dir/app" && pwd)/orvypc.ico" -DOUTFILE="$setup" "$root/packaging/windows/orvypc.nsi")
echo "package-windows: $setup ($(du -k "$setup" | cut -f1) kB, $(( $(date +%s) - started )) s)" >&2
