#!/usr/bin/env bash
# Builds everything and checks an update file the way the updater does when
# the operator picks it: by default the bundled sample update file.
#   scripts/run.sh [update-file.mid]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
configure_and_build host
configure_and_build windows

file=${1:-build/host/sample/t6-t10-sample-update.mid}
build/host/tools/inspect_update "$file"
