#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the normal
# build (an install into a scratch prefix among them), then builds and checks
# the Debian package, then a fixed-count run of each fuzz target (clang,
# libFuzzer), then the Windows programs' tests under Wine, then once more
# under AddressSanitizer and UndefinedBehaviorSanitizer. The last ctest run
# is the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test

# Every test keeps its logbook, key store and settings away from the user's
# own (a test that wants a particular place still names it).
test_home="$PWD/build/test-home"
ctest() {
  rm -rf "$test_home"
  XDG_DATA_HOME="$test_home/data" XDG_CONFIG_HOME="$test_home/config" XDG_STATE_HOME="$test_home/state" \
    command ctest "$@"
}

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
# The Debian package from that tree, its contents checked (the install into
# a scratch prefix is one of the tests above).
scripts/package.sh build

# Only the fuzz targets and what they link are built here; see fuzz/README.md.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVYPC_FUZZ=ON -DORVYPC_SANITIZE=ON -DORVYPC_BUILD_GUI=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" \
  --target fuzz_reply fuzz_status_reply fuzz_test_result fuzz_cell_reference
(cd build-fuzz && ctest --output-on-failure -L fuzz)

# The Windows programs, cross-built with mingw-w64 and tested under Wine, in
# a Wine prefix made afresh for this run (README, "Windows").
scripts/test-windows.sh build-win

scripts/build.sh build-asan -DORVYPC_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
