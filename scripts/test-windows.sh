#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64 and runs
# the tests under Wine: scripts/test-windows.sh [DIR] (default build-win).
# Installs what it needs first (scripts/deps-windows.sh). Each run gets a
# Wine prefix of its own under DIR, started once before the tests (its first
# start takes a while) and stopped after them.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
# One CMake option a line: the folders of the libraries built for Windows.
deps=$(scripts/deps-windows.sh "$dir/sources")
mapfile -t sources <<<"$deps"
scripts/build.sh "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${sources[@]}"

wine=/usr/lib/wine/wine64
export WINEPREFIX="$PWD/$dir/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or browser engine to offer installing
unset DISPLAY                               # console programs only; no window may open
rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
# One server for the prefix stays up for the whole run, so that each test
# program does not start its own.
/usr/lib/wine/wineserver -p
stop_prefix() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_prefix EXIT
"$wine" wineboot --init >/dev/null 2>&1

(cd "$dir" && ctest --output-on-failure -j"$(nproc)")
