#!/usr/bin/env bash
# Installs what is missing, builds, and starts OrvyPc against its built-in
# demonstration gateway (a simulator on loopback). Extra arguments go to
# orvypc: scripts/run.sh results, scripts/run.sh status A5 -o A5.xlsx, ...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build

if [ $# -gt 0 ]; then
  exec build/app/orvypc "$@" --demo
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: showing the demonstration gateway's test results on the terminal instead of the window." >&2
  exec build/app/orvypc results --demo
fi
exec build/app/orvypc --demo
