#!/usr/bin/env bash
# Builds and runs every test: the native build of the portable core (unit tests and fuzz
# targets), then the Windows test build with its tests under Wine in a throwaway prefix, with
# the end-to-end plug-in runs (tests/e2e; PLUGSTART_E2E_FULL=1 runs their whole matrix), then
# the release build, which checks its device image and CD. Ends with the wall time of the suite.
# The tests of a build run side by side (most of them wait on Wine far more than they compute);
# the Windows unit tests, which share one prefix, still run one at a time among themselves.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
report_time() { echo "test suite wall time: $((SECONDS - started)) s"; }
trap report_time EXIT
scripts/setup.sh

echo "== native: portable core"
cmake --preset native >/dev/null
cmake --build build/native
ctest --test-dir build/native --output-on-failure -j 2

preset=$(scripts/windows-preset.sh)
echo "== windows ($preset): tests under Wine"
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset"
ctest --test-dir "build/$preset" --output-on-failure -j 4

echo "== release: the 32-bit deliverables, their device image and CD, and the image check"
cmake --preset release >/dev/null
cmake --build build/release
