#!/usr/bin/env bash
# Takes the Windows pictures of the README under Wine, with the Windows
# platform plug-in on an X display of its own (Xvfb) and Wine's fonts:
#   scripts/windows-shots.sh [DIR] (default build-win, built with Qt for Windows)
# writes docs/windows-main-window.png, docs/windows-survey-page.png and
# docs/windows-message-box.png (the home page with a message box in Chinese).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
cmake --build "$dir" --target window_shot survey_shot >/dev/null
export WINEPREFIX="$PWD/$dir/shots-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -f "$display_file"' EXIT
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$display_file")"
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
docs="Z:${PWD//\//\\}\\docs"
run="$dir/wine-run"
"$run" "$dir/desktop/window_shot.exe" "$docs\\windows-main-window.png"
"$run" "$dir/desktop/survey_shot.exe" "$docs\\windows-survey-page.png"
"$run" "$dir/desktop/window_shot.exe" --message "子窗口的句柄为空！" "$docs\\windows-message-box.png"
ls -l docs/windows-*.png
