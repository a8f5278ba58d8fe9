#!/usr/bin/env bash
# Lists the C and C++ files that do not follow .clang-format (exit 1 when there is one);
# with --fix, formats them in place. Formatting is clang-format's (Debian clang-format 14 here;
# another version may lay out a few lines differently).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=0
for file in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "$file"
    unformatted=1
  fi
done
exit $unformatted
