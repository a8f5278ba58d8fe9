#!/usr/bin/env bash
# Builds and runs every test: the native build of the portable core (unit tests and fuzz
# targets), then the Windows test build with its tests under Wine in a throwaway prefix, then the
# release build, which checks its device image and CD.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

echo "== native: portable core"
cmake --preset native >/dev/null
cmake --build build/native
ctest --test-dir build/native --output-on-failure

preset=$(scripts/windows-preset.sh)
echo "== windows ($preset): tests under Wine"
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset"
ctest --test-dir "build/$preset" --output-on-failure

echo "== release: the 32-bit deliverables, their device image and CD, and the image check"
cmake --preset release >/dev/null
cmake --build build/release
