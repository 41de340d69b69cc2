#!/usr/bin/env bash
# The whole job done through the window, as a user does it, on an X display
# (run under xvfb-run): orvypc --demo, Status -> PRINT -> save, HOME, Test
# Results -> Print -> save, a row -> Detail -> PRINT -> save, then the close
# marks back home and out. The three workbooks are then read back by the
# export tests' reader against what the front end lists from the same
# demonstration gateway.
#
#   gui_walkthrough.sh ORVYPC WORK_DIR CHECK_WORKBOOKS_PY
#
# Every wait is bounded; the program is stopped whatever happens.
set -euo pipefail

exe=$1
work=$2
checker=$3
python=/usr/bin/python3

rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
  echo "FAIL: $*" >&2
  echo "--- program output (last lines) ---" >&2
  tail -n 30 orvypc.log >&2 || true
  exit 1
}

# The program writes the workbooks into its current folder (the dialog opens there).
QT_QPA_PLATFORM=xcb "$exe" --demo >orvypc.log 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# wait_until DESCRIPTION COMMAND...: up to 30 s, in steps of 0.1 s.
wait_until() {
  local what=$1
  shift
  for _ in $(seq 300); do
    if "$@"; then return 0; fi
    kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for $what"
    sleep 0.1
  done
  fail "no $what"
}
log_has() { grep -qF -- "$1" orvypc.log; }
log_count() { grep -cF -- "$1" orvypc.log || true; }
window_named() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
one_file() { compgen -G "$1" >/dev/null; }

# Clicks at client pixel (x, y) of the main window.
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }

# The save dialog: accept the proposed name in the current folder.
save_as_proposed() {
  wait_until "save dialog" window_named '^Save As$'
  local dialog
  dialog=$(xdotool search --onlyvisible --name '^Save As$' | head -n 1)
  xdotool windowfocus --sync "$dialog"
  xdotool key --clearmodifiers Return
}

wait_until "main window" window_named '^OrvyPc$'
win=$(xdotool search --onlyvisible --name '^OrvyPc$' | head -n 1)
wait_until "gateway found" log_has "test 127.0.0.1"

# Status page: line A, address 0 as set up; PRINT and save.
click 345 230                 # Status (the quarter ring)
click 540 372                 # PRINT
save_as_proposed
wait_until "status workbook" one_file 'A0 Status_*.xlsx'
click 374 372                 # HOME

# Test Results page: Print and save.
click 555 439                 # Test Results (the quarter ring)
wait_until "test results page" log_has "test result."
click 640 530                 # Print
save_as_proposed
wait_until "test results workbook" one_file 'TestResult_*.xlsx'

# The first row, Detail, PRINT and save.
click 100 86                  # row 0
wait_until "row selected" log_has "ucSelectID:0"
details_before=$(log_count "===cShortAddressArr")
click 408 530                 # Detail
# The count is taken anew on every try.
details_grew() { [ "$(log_count "===cShortAddressArr")" -gt "$details_before" ]; }
wait_until "details listed" details_grew
sleep 0.5                     # PRINT lies where Detail was: not a double click
click 408 530                 # PRINT
save_as_proposed
wait_until "details workbook" one_file 'A0 Test Details_*.xlsx'

# Back home through the close marks, and out by the main window's close mark.
for _ in 1 2 3; do
  sleep 0.5
  click 865 18
done
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end at the close mark"
status=0
wait "$pid" || status=$?
trap - EXIT
[ "$status" -eq 0 ] || fail "exit status $status"

# SIGTERM ends the window the ordinary way, at once: exit status 0.
QT_QPA_PLATFORM=xcb "$exe" --demo >orvypc.log 2>&1 &
pid=$!
wait_until "gateway found again" log_has "test 127.0.0.1"
kill -TERM "$pid"
for _ in $(seq 20); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end on SIGTERM"
status=0
wait "$pid" || status=$?
trap - EXIT
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
log_has "end signal" || fail "SIGTERM did not end the window through its event loop"

# What the same demonstration gateway lists, through the front end.
# The TSV keeps the display texts the workbooks hold (fields escaped: \t
# \n \r \\).
"$exe" results --demo >results.tsv
"$exe" details A0 --demo >details.tsv
"$exe" status A0 --demo --json >status.json
"$python" - <<'PY'
import json, re
def field(text):
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), text)
for name in ("results", "details"):
    with open(name + ".tsv", encoding="utf-8") as f:
        lines = f.read().splitlines()[1:]   # below the heading
    with open(name + "-rows.json", "w", encoding="utf-8") as f:
        json.dump([[field(c) for c in line.split("\t")] for line in lines], f, ensure_ascii=False)
PY

"$python" "$checker" --check results TestResult_*.xlsx results-rows.json
"$python" "$checker" --check details A0\ Test\ Details_*.xlsx details-rows.json
"$python" "$checker" --check status-values A0\ Status_*.xlsx status.json A 0
echo "walkthrough: three workbooks written and read back"
