#!/usr/bin/env bash
# orvypc monitor against the simulator's full site (128 luminaires) for
# MINUTES minutes, a round every minute, recording into a logbook of its own
# and with no mail server (alerts are kept): its resident memory and the
# CPU time it used, sampled every 5 seconds from /proc.
#
#   bench/monitor_soak.sh [MINUTES] [BUILD_DIR]      # default 60, build
#
# Prints the rounds, the resident memory (after the first round, largest,
# last), the CPU time in all and per round, and the CPU time of the
# 5-second spans in which no round ran (the waits between rounds).
set -euo pipefail
minutes=${1:-60}
build=${2:-build}
work=$(mktemp -d /tmp/orvypc-monitor-soak.XXXXXX)
cleanup() {
  [ -n "${monitor:-}" ] && kill "$monitor" 2>/dev/null || true
  [ -n "${sim:-}" ] && kill "$sim" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

"$build/sim/orvypc-gateway-sim" --full-site >"$work/sim.txt" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q ' port ' "$work/sim.txt" && break; sleep 0.1; done
port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/sim.txt")

XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
  "$build/app/orvypc" monitor --gateway 127.0.0.1 --port "$port" --every 1m >"$work/rounds.txt" 2>"$work/err.txt" &
monitor=$!
ticks=$(getconf CLK_TCK)
end=$((SECONDS + minutes * 60))
: >"$work/samples.txt"
while [ "$SECONDS" -lt "$end" ] && kill -0 "$monitor" 2>/dev/null; do
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$monitor/status")
  cpu=$(awk '{print $14 + $15}' "/proc/$monitor/stat")
  rounds=$(wc -l <"$work/rounds.txt")
  echo "$SECONDS $rss $cpu $rounds" >>"$work/samples.txt"
  sleep 5
done
kill -TERM "$monitor"
wait "$monitor" || true
monitor=
awk -v ticks="$ticks" '
  NR == 1 { first = $0 }
  { if ($4 >= 1 && rssAfterFirst == "") rssAfterFirst = $2
    if ($2 > rssMax) rssMax = $2
    if (NR > 1 && $4 == prevRounds && $4 >= 1) { idle += $3 - prevCpu; idleSpans++ }
    prevCpu = $3; prevRounds = $4; last = $0; rssLast = $2; rounds = $4; cpu = $3 }
  END {
    printf "rounds: %d in %d s\n", rounds, '"$minutes"' * 60
    printf "resident memory: %d kB after the first round, %d kB at most, %d kB at the end\n", rssAfterFirst, rssMax, rssLast
    printf "CPU time: %.2f s in all, %.3f s per round\n", cpu / ticks, rounds ? cpu / ticks / rounds : 0
    printf "CPU time in the %d 5-second spans without a round: %.2f s\n", idleSpans, idle / ticks
  }' "$work/samples.txt"
echo "rounds as printed: $work/rounds.txt (first and last below)"
head -1 "$work/rounds.txt"
tail -1 "$work/rounds.txt"
