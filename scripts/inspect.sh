#!/usr/bin/env bash
# Checks an update file the way the updater does when the operator picks it,
# without a device: prints the status the updater would show and the track
# table. By default the bundled sample update file.
#   scripts/inspect.sh [update-file.mid]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
configure_and_build host

file=${1:-build/host/sample/t6-t10-sample-update.mid}
build/host/tools/inspect_update "$file"
