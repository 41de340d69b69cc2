#!/usr/bin/env bash
# Runs every fuzz target for MINUTES minutes (default 10) on its corpus,
# then merges what it found into the committed corpus, kept minimised
# (libFuzzer's -merge=1: the fewest inputs that cover what all of them
# cover), and prints each target's executions and findings.
#
#   scripts/fuzz.sh [MINUTES]
#
# Builds the targets with clang in build-fuzz (as scripts/test.sh does).
# A failing input is left as build-fuzz/fuzz/crash-<target>-*; the exit
# status is 1 when any target found one.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
[[ $minutes =~ ^[0-9]+$ ]] && [ "$minutes" -gt 0 ] || { echo "usage: scripts/fuzz.sh [MINUTES]" >&2; exit 2; }
scripts/deps.sh

targets=(reply status_reply test_result cell_reference)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVYPC_FUZZ=ON -DORVYPC_SANITIZE=ON -DORVYPC_BUILD_GUI=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null

out=build-fuzz/fuzz
findings_total=0
printf '%-16s %14s %10s %8s %9s\n' target executions exec/s inputs findings
for t in "${targets[@]}"; do
  found=$out/found/$t
  mkdir -p "$found"
  log=$out/campaign-$t.log
  before=$(ls "$out" | grep -c "^\(crash\|leak\|timeout\|oom\)-$t-" || true)
  # A finding ends libFuzzer with a non-zero status; the count below says so.
  "$out/fuzz_$t" -max_total_time=$((minutes * 60)) -max_len=1100 -print_final_stats=1 \
    -artifact_prefix="$out/crash-$t-" "$found" "fuzz/corpus/$t" >"$log" 2>&1 || true
  after=$(ls "$out" | grep -c "^\(crash\|leak\|timeout\|oom\)-$t-" || true)
  findings=$((after - before))
  findings_total=$((findings_total + findings))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)

  # The committed corpus becomes the minimal set covering it and the finds.
  # Inputs that once failed (regression-*) stay whatever they cover.
  merged=$(mktemp -d)
  "$out/fuzz_$t" -merge=1 -max_len=1100 "$merged" "fuzz/corpus/$t" "$found" >>"$log" 2>&1
  find "fuzz/corpus/$t" -maxdepth 1 -type f ! -name 'regression-*' -delete
  cp "$merged"/* "fuzz/corpus/$t"/
  rm -rf "$merged"
  inputs=$(ls "fuzz/corpus/$t" | wc -l)
  printf '%-16s %14s %10s %8s %9s\n' "$t" "${runs:-?}" "${speed:-?}" "$inputs" "$findings"
done
echo "logs: $out/campaign-<target>.log; corpus: fuzz/corpus/<target> (git diff shows what changed)"
[ "$findings_total" -eq 0 ]
