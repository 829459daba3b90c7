#!/usr/bin/env bash
# Lists the C++ files that clang-format (house style, .clang-format) would
# change and exits 1 when there are any. With --fix, rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
fix=0
[ "${1:-}" = "--fix" ] && fix=1
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ $fix -eq 1 ]; then
  "$CLANG_FORMAT" -i --style=file "${files[@]}"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! "$CLANG_FORMAT" --style=file "$f" | cmp -s "$f" -; then
    echo "$f"
    bad=1
  fi
done
exit $bad
