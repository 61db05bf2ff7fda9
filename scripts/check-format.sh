#!/usr/bin/env bash
# Fails when a C++ file of the tree is not as the committed .clang-format lays
# it out (clang-format from Debian's clang-format package). With --fix, the
# files are formatted in place instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
command -v clang-format >/dev/null || { echo "clang-format is not installed (apt-get install clang-format)" >&2; exit 1; }
mapfile -d '' files < <(find "$top/src" "$top/tests" "$top/bench" "$top/fuzz" "$top/modules" \
  -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: ${f#"$top"/}"
    bad=$((bad + 1))
  fi
done
echo "format: ${#files[@]} files, $bad not formatted"
[ "$bad" -eq 0 ]
