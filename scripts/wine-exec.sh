#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix named by WINEPREFIX. CMake uses it as the
# emulator of the Windows test build, so ctest runs every test executable through it.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
exe="$1"
shift
exec "$(dirname "$0")/wine-for.sh" "$exe" "$exe" "$@"
