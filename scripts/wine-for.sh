#!/usr/bin/env bash
# wine-for.sh PE-FILE COMMAND... : runs COMMAND with the Wine loader that fits PE-FILE's
# architecture (64-bit programs need wine64; 32-bit ones the 32-bit loader).
set -euo pipefail
pe="$1"
shift
machine=""
if [ -f "$pe" ]; then
  offset=$(od -An -t u4 -j 60 -N 4 "$pe" | tr -d ' ')
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$pe" | tr -d ' ')
fi
if [ "$machine" = "8664" ]; then
  loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
  loader=$(command -v wine)
fi
exec "$loader" "$@"
