#!/usr/bin/env bash
# Formats the C++ sources as .clang-format says (Debian 12's clang-format 14).
#   bash scripts/format.sh           rewrites the files that differ
#   bash scripts/format.sh --check   lists them and fails instead
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" != --check ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
differ=()
for file in "${files[@]}"; do
  cmp -s "$file" <(clang-format "$file") || differ+=("$file")
done
if [ ${#differ[@]} -ne 0 ]; then
  printf 'not formatted: %s\n' "${differ[@]}"
  echo "clang-format: ${#differ[@]} files differ; bash scripts/format.sh rewrites them"
  exit 1
fi
echo "clang-format: all ${#files[@]} files formatted"
