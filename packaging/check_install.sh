#!/usr/bin/env bash
# Installs a build tree into a scratch prefix and checks what landed there:
# every file in its place, the icons at their sizes, the installed program
# answering, and the manual page and the completion knowing every option
# that --help lists.
#
#   check_install.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build=$1
prefix=$2
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "check_install: $*" >&2; failures=$((failures + 1)); }

for f in bin/orvypc bin/orvypc-gateway-sim share/applications/orvypc.desktop \
         share/man/man1/orvypc.1 share/bash-completion/completions/orvypc; do
  [ -s "$prefix/$f" ] || fail "missing $f"
done
for size in 48 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/orvypc.png"
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  got=$(od -An -tu1 -j16 -N8 "$icon" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$got" = "${size}x${size}" ] || fail "icon ${size}x${size}: found ${got:-none}"
done
grep -qx 'Exec=orvypc' "$prefix/share/applications/orvypc.desktop" || fail "desktop entry does not start orvypc"

# The monitor's user units start this install's program, and systemd reads
# them without a complaint where it is there to ask.
units="$prefix/lib/systemd/user"
grep -qxF "ExecStart=$prefix/bin/orvypc monitor" "$units/orvypc-monitor.service" 2>/dev/null ||
  fail "orvypc-monitor.service does not start $prefix/bin/orvypc monitor"
grep -qxF "ExecStart=$prefix/bin/orvypc monitor --once" "$units/orvypc-monitor-once.service" 2>/dev/null ||
  fail "orvypc-monitor-once.service does not start $prefix/bin/orvypc monitor --once"
grep -qx 'OnCalendar=daily' "$units/orvypc-monitor-once.timer" 2>/dev/null || fail "orvypc-monitor-once.timer is not daily"
if command -v systemd-analyze >/dev/null; then
  verified=$(systemd-analyze verify "$units/orvypc-monitor.service" "$units/orvypc-monitor-once.service" \
             "$units/orvypc-monitor-once.timer" 2>&1) || fail "systemd-analyze verify: $verified"
fi

orvypc="$prefix/bin/orvypc"
# The installed program keeps its logbook and settings in a home of its own
# here: a logbook in the user's real one, left by another version, is not
# this install's business.
export XDG_DATA_HOME="$prefix/home/data" XDG_CONFIG_HOME="$prefix/home/config" XDG_STATE_HOME="$prefix/home/state"
version=$("$orvypc" --version) || fail "orvypc --version failed"
[[ $version =~ ^orvypc\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "orvypc --version printed '$version'"
rows=$(timeout 60 "$orvypc" results --demo) || fail "orvypc results --demo failed"
[ "$(printf '%s\n' "$rows" | grep -c $'^[AB][0-9]*\t')" -gt 0 ] || fail "orvypc results --demo printed no rows"

# Every option --help names, in the manual page and the completion.
help=$("$orvypc" --help)
man_text=$(LC_ALL=C MANWIDTH=200 man -l "$prefix/share/man/man1/orvypc.1" 2>/dev/null || cat "$prefix/share/man/man1/orvypc.1")
completion=$(cat "$prefix/share/bash-completion/completions/orvypc")
for option in $(printf '%s\n' "$help" | grep -oE '^ +(--[a-z-]+|-o)\b' | tr -d ' ' | sort -u); do
  grep -qF -- "$option" <<<"$man_text" || fail "manual page lacks $option"
  grep -qF -- "$option" <<<"$completion" || fail "completion lacks $option"
done
# The commands are the indented words of the part before the notes on
# the logbook (blank lines separate its groups).
for command in $(printf '%s\n' "$help" | sed -n '/^Commands:/,/^Every listing/p' | grep -oE '^  [a-z]+' | tr -d ' ' | sort -u); do
  grep -qw -- "$command" <<<"$completion" || fail "completion lacks the command $command"
done
bash -n "$prefix/share/bash-completion/completions/orvypc" || fail "completion is not valid bash"

if [ "$failures" -ne 0 ]; then
  echo "check_install: $failures problems" >&2
  exit 1
fi
echo "check_install: the install under $prefix is complete"
