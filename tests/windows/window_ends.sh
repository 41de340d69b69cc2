#!/usr/bin/env bash
# The window of orvypc.exe under Wine on the X display ends on every way out,
# at once and with exit status 0, connected to the demonstration gateway:
# its close mark, Escape, Alt+F4 (the system menu's Close), and taskkill (WM_CLOSE).
# Each end is timed from the request to the end of the process and printed.
# On a quiet machine each takes well under half a second (taskkill the
# longest: it is a program of its own that Wine starts first); the bounds
# checked hold on a loaded machine too and still tell an end at once from
# one that waits on anything (a reply's 20 s, the heartbeat's 25 s, or
# Wine's 2 s for a window manager that is not there: the display needs one).
#
#   window_ends.sh WINE ORVYPC_EXE WORK_DIR
set -euo pipefail
wine=$1 exe=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
cd "$work"
bound_ms=1500          # the window's own ways out
taskkill_bound_ms=4000 # taskkill.exe's start included

fail() {
  echo "FAIL: $*" >&2
  tail -n 20 orvypc.log >&2 || true
  exit 1
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# start: the window with the demonstration gateway found (the heartbeat
# thread running).
start() {
  "$wine" "$exe" --demo > orvypc.log 2>&1 &
  pid=$!
  window=""
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^OrvyPc$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window came up"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window"
  # Painted and connected: the status line is drawn after discovery.
  sleep 1
}

# ends NAME: waits for the end, checks the status, prints the time.
ends() {
  local name=$1 asked=$2 bound=${3:-$bound_ms} ended status=0
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  ended=$(now_ms)
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "$name: the window did not end"; }
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "$name: exit status $status"
  echo "window ends: $name in $((ended - asked)) ms"
  [ $((ended - asked)) -le "$bound" ] || fail "$name took $((ended - asked)) ms (bound $bound ms)"
}

start
asked=$(now_ms)
xdotool mousemove --window "$window" 865 18 click 1
ends "close mark" "$asked"

start
xdotool windowfocus --sync "$window"
asked=$(now_ms)
xdotool key --clearmodifiers Escape
ends "Escape" "$asked"

start
xdotool windowfocus --sync "$window"
asked=$(now_ms)
xdotool key --clearmodifiers alt+F4
ends "Alt+F4" "$asked"

start
asked=$(now_ms)
"$wine" taskkill /im orvypc.exe >/dev/null 2>&1 || true
ends "taskkill (WM_CLOSE)" "$asked" "$taskkill_bound_ms"
