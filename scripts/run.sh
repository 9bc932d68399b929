#!/usr/bin/env bash
# Performs an update as an operator does: the real updater under Wine, against
# our simulated driver service with one t6 and its "FIRM" port.
#   scripts/run.sh [update-file.mid]   (default: the bundled sample update file)
# With a usable display the window opens for a person to use and the script
# waits for it to close. Without one, an automated operator performs the
# update on a virtual display: Browse, the file-open dialog, Start, Close.
# Either way it follows the status line and the progress, then checks what the
# simulated device received. Exits 0 only for a verified update.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
configure_and_build host
configure_and_build windows

file=$(realpath -m "${1:-build/host/sample/t6-t10-sample-update.mid}")
[ -f "$file" ] || { echo "no such update file: $file" >&2; exit 1; }

run_dir=$ROOT/build/run
rm -rf "$run_dir"
mkdir -p "$run_dir"

interactive=false
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  interactive=true
else
  unset DISPLAY
  start_display
fi
use_simulator "$run_dir"

# A person's desktop has a window manager; the virtual display has none, and
# unmanaged windows spare Wine's wait for one.
managed=N
$interactive && managed=Y
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1
restore_managed() { wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true; }
trap 'restore_managed; cleanup' EXIT

screenshot() {
  window_screenshot "t6/t10 Update Program" "$run_dir/$1.png" && echo "screenshot: build/run/$1.png"
  return 0
}

echo "== updating with $file"
wine_run build/windows/ui/t6update.exe 2>"$run_dir/wine.log" &
updater=$!
tty_flag=""
[ -t 1 ] && tty_flag=--tty
operator watch $tty_flag | tee "$run_dir/watch.log" &
watcher=$!

operator_failed=""
photographer=""
if $interactive; then
  echo "The updater's window is open on $DISPLAY: pick the file with Browse, press Start, then Close."
  # Only looks: the same screenshots as the automated run takes.
  { operator wait-ready 86400 && screenshot device-ready
    operator wait-progress 30 86400 && screenshot mid-transfer
    operator wait-text start Close 86400 && screenshot done; } >/dev/null 2>&1 &
  photographer=$!
else
  if ! operator wait-ready 60; then
    operator_failed="the device was not found"
  else
    screenshot device-ready
    operator click browse
    if ! operator open "$(windows_path "$file")" || ! operator wait-enabled start 10; then
      operator_failed="the file was not accepted"
    else
      operator click start
      operator wait-progress 30 600 && screenshot mid-transfer
      if operator wait-text start Close 86400; then
        screenshot done
        operator click start
      else
        operator_failed="the transfer did not end"
      fi
    fi
  fi
  [ -z "$operator_failed" ] || operator close || true
fi

wait "$updater" || echo "the updater ended with status $?"
wait "$watcher" || true
[ -z "$photographer" ] || kill "$photographer" 2>/dev/null || true
[ -z "$operator_failed" ] || { echo "== not updated: $operator_failed"; exit 1; }

final=$(sed -n 's/.*the window has closed; last status: "\(.*\)"$/\1/p' "$run_dir/watch.log" | tail -n 1)
echo "== final status: \"$final\""
echo "== what the simulated t6 received"
started_after=$(sed -n 's/^the transfer began after counter reading \([0-9]*\)$/\1/p' "$run_dir/watch.log" | tail -n 1)
verified=true
build/host/tools/verify_capture "$file" "$run_dir/sim.stats" "$run_dir/sim.capture" $started_after || verified=false
if [ "$final" != "Transfer complete. Please wait until t6/t10 rebooting completion." ]; then
  verified=false
fi
if $verified; then
  echo "== update verified"
else
  echo "== update NOT verified"
  exit 1
fi
