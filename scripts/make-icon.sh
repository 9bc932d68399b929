#!/usr/bin/env bash
# Redraws the application icon, ui/res/t6update.ico, with tools/make_icon.cpp;
# the test make_icon.matches_committed_icon fails until this has been run.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
log=$(mktemp)
if ! { cmake --preset host && cmake --build --preset host --target make_icon; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "could not build make_icon" >&2
  exit 1
fi
rm -f "$log"
mkdir -p ui/res
build/host/tools/make_icon ui/res/t6update.ico
echo "wrote ui/res/t6update.ico"
