#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix named by WINEPREFIX. CMake uses it as the
# emulator of the Windows test build, so ctest runs every test executable through it.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
exe="$1"
shift
# Wake Wine first with its output going nowhere. Whatever the first Wine program of a session
# starts (the Wine server, services, the desktop process) inherits that program's output and
# may outlive it; under ctest such a process would keep the test's output open and make ctest
# wait for it until the time-out.
"$(dirname "$0")/wine-for.sh" "$exe" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
exec "$(dirname "$0")/wine-for.sh" "$exe" "$exe" "$@"
