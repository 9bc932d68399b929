#!/usr/bin/env bash
# The run command when the updater crashes in the middle of the transfer: it
# must end (ctest bounds the time), fail, and say why.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
output=$(env -u DISPLAY T6_RUN_PREBUILT=1 T6_SIM_EXTRA="crash_at_write = 2" \
           bash "$root/scripts/run.sh" "$root/fuzz/seeds/smf_fuzz/long-message.mid" 2>&1)
status=$?
printf '%s\n' "$output" | tail -n 5
if [ "$status" -eq 0 ]; then
  echo "FAIL: run.sh passed an update whose updater crashed"
  exit 1
fi
if ! grep -q '^== not updated: the updater ended with exit code' <<<"$output"; then
  echo "FAIL: run.sh did not say that the updater ended badly"
  exit 1
fi
echo "run.sh failed as it should (status $status)"
