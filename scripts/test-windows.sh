#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64, makes the
# setup program, and runs the tests under Wine: scripts/test-windows.sh [DIR]
# (default build-win). Installs what it needs first (scripts/deps-windows.sh;
# the first run on a machine also makes Qt for Windows, which takes a while).
# Each run gets a Wine prefix of its own under DIR, and an X display of its
# own (Xvfb) for the windows: started once before the tests (the prefix's
# first start takes a while) and stopped after them.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
step() { echo "test-windows: $* ($(date +%H:%M:%S))" >&2; }

step "sources and Qt for Windows"
# One CMake option a line: the folders of the libraries built for Windows.
deps=$(scripts/deps-windows.sh "$dir/sources")
mapfile -t sources <<<"$deps"
step "building"
scripts/build.sh "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${sources[@]}"
step "the setup program"
scripts/package-windows.sh "$dir"

wine=/usr/lib/wine/wine64
export WINEPREFIX="$PWD/$dir/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or browser engine to offer installing
rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"

# The display the windows open on; it and the prefix's server stay up for
# the whole run, so that each test program does not start its own.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
wm=""
stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -z "$wm" ] || kill "$wm" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$display_file"
}
trap stop EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || { echo "test-windows: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$display_file")"
# A window manager, as every Windows desktop has one: without it Wine waits
# two seconds for one to take note of each window hidden (its own time-out),
# which would hide how fast the window really ends.
twm -f tests/windows/twmrc >/dev/null 2>&1 &
wm=$!

step "Wine prefix"
/usr/lib/wine/wineserver -p
"$wine" wineboot --init >/dev/null 2>&1
# Wine's own fonts (Debian's fonts-wine) where Windows keeps fonts: the
# dialogs' Tahoma, which Wine does not find by itself.
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
# The offscreen platform of the headless Qt tests reads font files from one
# folder, named in the Windows environment (Wine passes no QT_* variable):
# Latin and Chinese.
fonts="$PWD/$dir/test-fonts"
rm -rf "$fonts" && mkdir -p "$fonts"
ln -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf \
  /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/"
"$wine" reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "Z:${fonts//\//\\}" /f >/dev/null

# The programs with windows on the display run one at a time, after the
# others.
windowed='^windows_window_ends$|^windows_setup_program$'
step "tests"
(cd "$dir" && ctest --output-on-failure -j"$(nproc)" -E "$windowed")
step "tests with windows"
(cd "$dir" && ctest --output-on-failure --verbose -R "$windowed" | grep -v "^[0-9]*: Test command\|^[0-9]*: Working Directory\|^[0-9]*: Environment")
step "done"
