#!/usr/bin/env bash
# The second compiler: mingw-w64's GCC builds the whole tree, x64 and x86
# (presets windows-gcc and windows-x86-gcc), without a warning: the compiler's
# warnings are errors, and any other "warning:" line fails it too. Keeps the
# sources free of one compiler's dialect; nothing of it runs or ships.
#   bash scripts/second-compiler.sh
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in windows-gcc windows-x86-gcc; do
  log=build/$preset.log
  mkdir -p build
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
    cat "$log"
    echo "second compiler: $preset failed"
    exit 1
  fi
  if grep -E -i '(^|[^_])warning:' "$log"; then
    echo "second compiler: $preset warns"
    exit 1
  fi
  echo "second compiler: $preset builds without a warning"
done
