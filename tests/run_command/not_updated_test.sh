#!/usr/bin/env bash
# The run command when an update cannot happen: it must end (ctest bounds the
# time), fail, and say why.
#   not_updated_test.sh crash   the updater crashes in the middle of the transfer
#   not_updated_test.sh song    the file is an ordinary MIDI song, with no firmware
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
case ${1:-} in
  crash)
    extra="crash_at_write = 2"
    file=$root/fuzz/seeds/smf_fuzz/long-message.mid
    reason='the updater ended with exit code'
    ;;
  song)
    extra=""
    file=$(mktemp --suffix=.mid)
    trap 'rm -f "$file"' EXIT
    # Format 0, 480 ticks a quarter note: a tempo, two notes, End of Track.
    printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\35\0\377\121\3\7\241\40\0\220\74\100\203\140\200\74\0\0\220\76\100\203\140\200\76\0\0\377\57\0' >"$file"
    reason='the file was not accepted: the status line reads "File format error!!"'
    ;;
  *)
    echo "usage: not_updated_test.sh crash|song" >&2
    exit 2
    ;;
esac
output=$(env -u DISPLAY T6_RUN_PREBUILT=1 T6_SIM_EXTRA="$extra" bash "$root/scripts/run.sh" "$file" 2>&1)
status=$?
printf '%s\n' "$output" | tail -n 5
if [ "$status" -eq 0 ]; then
  echo "FAIL: run.sh reported an update that did not happen"
  exit 1
fi
if ! grep -qF "== not updated: $reason" <<<"$output"; then
  echo "FAIL: run.sh did not say: $reason"
  exit 1
fi
echo "run.sh failed as it should (status $status)"
