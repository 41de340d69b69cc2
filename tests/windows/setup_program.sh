#!/usr/bin/env bash
# The setup program under Wine, as a technician without administrator rights
# uses it: a silent install for the current user with the command line on
# PATH, the installed program run (its command line through orvypc.com, its
# window through orvypc.exe on the X display), then a silent uninstall,
# which must leave no program file, no registration, no PATH entry and no
# Start-menu entry behind, and the user's logbook and settings untouched.
#
#   setup_program.sh WINE SETUP_EXE WORK_DIR
#
# Runs in the test run's Wine prefix ($WINEPREFIX) and X display ($DISPLAY).
set -euo pipefail
wine=$1 setup=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
export LC_ALL=C.UTF-8
app_id='{6A1D0F3E-58C2-4B7A-9E41-2D83C5F09B17}'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvyPc'

fail() { echo "FAIL: $*" >&2; exit 1; }
# The text of one registry value, or nothing.
reg_value() {
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_env() { "$wine" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

# A setting of the user's that the program's removal must keep.
"$wine" reg add 'HKCU\Software\OrvyPc\Logbook' /v Location /d 'C:\Logbooks\site.sqlite' /f >/dev/null

# --- install -----------------------------------------------------------------
"$wine" "$setup" /S /CurrentUser /PATH=yes
folder=$(reg_value "$uninstall_key" InstallLocation)
[ -n "$folder" ] || fail "no uninstall entry under $uninstall_key"
local_app_data=$(windows_env LOCALAPPDATA)
[ "$folder" = "$local_app_data\\Programs\\OrvyPc" ] || fail "installed in $folder, not in the user's program folder"
installed=$(unix_path "$folder")
for f in orvypc.exe orvypc.com orvypc-gateway-sim.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
         platforms/qwindows.dll styles/qwindowsvistastyle.dll licences/README.txt uninstall.exe; do
  [ -f "$installed/$f" ] || fail "$f not installed"
done
[ -n "$(reg_value "$uninstall_key" UninstallString)" ] || fail "no UninstallString"
[ -n "$(reg_value "$uninstall_key" DisplayIcon)" ] || fail "no DisplayIcon"
start_menu=$(unix_path "$(windows_env APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs")
[ -f "$start_menu/OrvyPc.lnk" ] || fail "no Start-menu entry"
has_key "HKCU\\Software\\Classes\\AppID\\$app_id" || fail "the program did not register"
has_key 'HKCU\Software\Classes\AppID\OrvyPc.EXE' || fail "no AppID entry OrvyPc.EXE"
case ";$(reg_value 'HKCU\Environment' Path);" in
  *";$folder;"*) ;;
  *) fail "the command line is not on the user's PATH" ;;
esac

# --- the installed program ---------------------------------------------------
# The command line: what the console runs for "orvypc", printing to it.
status=0
"$wine" "$installed/orvypc.com" results --demo > "$work/results.tsv" 2> "$work/results.err" || status=$?
[ "$status" -eq 0 ] || fail "orvypc results --demo ended with $status: $(cat "$work/results.err")"
head -n 1 "$work/results.tsv" | grep -q "Address" || fail "no list printed: $(head -c 300 "$work/results.tsv")"
[ "$(wc -l < "$work/results.tsv")" -gt 10 ] || fail "the demonstration gateway's list is short"
logbook=$(unix_path "$local_app_data\\OrvyPc\\demo-logbook.sqlite")
[ -s "$logbook" ] || fail "the run left no logbook in $logbook"
# A usage error keeps its exit status through orvypc.com.
status=0
"$wine" "$installed/orvypc.com" statsu >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "a misspelt command ended with $status, not 1"

# The window: 901 x 600 on the display, then closed as the system menu does.
"$wine" "$installed/orvypc.exe" --demo > "$work/window.log" 2>&1 &
pid=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^OrvyPc$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the window program ended: $(cat "$work/window.log")"
  sleep 0.1
done
[ -n "$window" ] || { kill "$pid"; fail "no window came up"; }
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
[ "$geometry" = 901x600 ] || { kill "$pid"; fail "the window is $geometry, not 901x600"; }
"$wine" taskkill /im orvypc.exe >/dev/null 2>&1 || true
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "the window did not close on WM_CLOSE"; }
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the window ended with $status"

# --- uninstall ---------------------------------------------------------------
# The uninstaller runs on as a copy of itself; it is done when its entry is gone.
"$wine" "$installed/uninstall.exe" /S /CurrentUser
for _ in $(seq 600); do
  has_key "$uninstall_key" || break
  sleep 0.1
done
has_key "$uninstall_key" && fail "the uninstall entry is still there"
for _ in $(seq 100); do
  [ -e "$installed" ] || break
  sleep 0.1
done
[ -e "$installed" ] && fail "left behind: $(cd "$installed" && find . | head)"
[ -f "$start_menu/OrvyPc.lnk" ] && fail "the Start-menu entry is still there"
has_key "HKCU\\Software\\Classes\\AppID\\$app_id" && fail "the AppID entry is still there"
has_key 'HKCU\Software\Classes\AppID\OrvyPc.EXE' && fail "the AppID entry OrvyPc.EXE is still there"
case ";$(reg_value 'HKCU\Environment' Path);" in
  *";$folder;"*) fail "the PATH entry is still there" ;;
esac
[ -s "$logbook" ] || fail "the uninstall removed the logbook"
[ "$(reg_value 'HKCU\Software\OrvyPc\Logbook' Location)" = 'C:\Logbooks\site.sqlite' ] ||
  fail "the uninstall removed the user's settings"
echo "setup program: installed, run, window 901x600, uninstalled; the logbook and settings kept"
