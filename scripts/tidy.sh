#!/usr/bin/env bash
# clang-tidy over the program's own code, with the checks of .clang-tidy: the
# portable core as the host build compiles it, and the Win32 files as the
# Windows build does. Needs both builds configured (scripts/test.sh does it).
# Fails on any finding.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

folders='(state|smf|platform|device|transfer|ui)'
status=0
run-clang-tidy -quiet -p build/host-asan -j 2 "$ROOT/$folders/" >build/tidy-host.log 2>&1 || status=1
# The Windows build is clang's: its commands carry the target and the headers.
run-clang-tidy -quiet -p build/windows -j 2 "$ROOT/$folders/.*_win32" >build/tidy-windows.log 2>&1 || status=1
findings=$(cat build/tidy-host.log build/tidy-windows.log | sed 's/\x1b\[[0-9;]*m//g' |
           grep -E '^/.*: (warning|error): ' | sort -u || true)
if [ -n "$findings" ] || [ "$status" -ne 0 ]; then
  printf '%s\n' "${findings:-clang-tidy failed: see build/tidy-host.log and build/tidy-windows.log}"
  exit 1
fi
echo "clang-tidy: no findings in $folders"
