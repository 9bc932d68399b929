#!/usr/bin/env bash
# Performs an update as an operator does: the real updater under Wine, against
# our simulated driver service with one t6 and its "FIRM" port.
#   scripts/run.sh [update-file.mid]   (default: the bundled sample update file;
#                                      a relative path is taken from where you are)
# With a usable display the window opens for a person to use and the script
# waits for it to close. Without one, an automated operator performs the
# update on a virtual display: Browse, the file-open dialog, Start, Close.
# Either way it follows the status line and the progress, then checks what the
# simulated device received. Exits 0 only for a verified update; every other
# end prints "== not updated: <reason>".
# T6_RUN_PREBUILT=1 skips the install and build steps (for the test suite,
# which has built the program; the check at the end needs the host build).
set -euo pipefail
started_in=$PWD
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

# How long the updater may take to end once it was closed (it ends within
# about 3 s even with a driver call stuck) before its Wine server is ended.
UPDATER_EXIT_BOUND_S=20

reported=false
failed_command=""
interrupted=false
children=()
interactive=false
not_updated() {
  reported=true
  echo "== not updated: $*"
  exit 1
}
# Whatever way the script ends (a failure, Ctrl-C), none of its processes stay:
# the helpers first, so that they start no new Wine process, then Wine itself.
finish() {
  local status=$?
  local pid
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  if $interactive; then
    wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  fi
  cleanup
  if [ "$status" -ne 0 ] && ! $reported; then
    if $interrupted; then
      echo "== not updated: interrupted"
    else
      echo "== not updated: '${failed_command:-the run}' failed with status $status"
    fi
  fi
  exit "$status"
}
trap finish EXIT
trap 'failed_command=$BASH_COMMAND' ERR
trap 'interrupted=true; exit 130' INT TERM

if [ "${T6_RUN_PREBUILT:-0}" != 1 ]; then
  bash scripts/install-deps.sh
  configure_and_build host
  configure_and_build windows
fi

if [ $# -gt 0 ]; then
  file=$(cd "$started_in" && realpath -m -- "$1")
else
  file=$ROOT/build/host/sample/t6-t10-sample-update.mid
fi
[ -f "$file" ] || not_updated "no such update file: $file"

run_dir=$ROOT/build/run
rm -rf "$run_dir"
mkdir -p "$run_dir"

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  interactive=true
else
  start_display
fi
use_simulator "$run_dir"

# A person's desktop has a window manager; the virtual display has none, and
# unmanaged windows spare Wine's wait for one.
if $interactive; then
  wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
fi

screenshot() {
  window_screenshot "t6/t10 Update Program" "$run_dir/$1.png" && echo "screenshot: build/run/$1.png"
  return 0
}

echo "== updating with $file"
wine_run build/windows/ui/t6update.exe 2>"$run_dir/wine.log" &
updater=$!
children+=("$updater")
tty_flag=""
[ -t 1 ] && tty_flag=--tty
operator watch $tty_flag | tee "$run_dir/watch.log" &
watcher=$!
children+=("$watcher")

alive() { kill -0 "$updater" 2>/dev/null; }

# What a person does, step by step; operator_failed says where it stopped. The
# operator's waits end at once when the updater's window goes, so that a crash
# is reported as such and not waited out.
operate() {
  operator wait-ready 60 || { operator_failed="the device was not found"; return; }
  screenshot device-ready
  operator click browse || { operator_failed="Browse could not be pressed"; return; }
  if ! operator open "$(windows_path "$file")" || ! operator wait-enabled start 10; then
    local shown
    shown=$(operator state 2>/dev/null | sed -n 's/^status *[a-z]* *\(".*"\)$/\1/p')
    operator_failed="the file was not accepted${shown:+: the status line reads $shown}"
    return
  fi
  operator click start || { operator_failed="Start could not be pressed"; return; }
  if operator wait-progress 30 600; then screenshot mid-transfer; fi
  alive || { operator_failed="the updater ended during the transfer"; return; }
  operator wait-text start Close 86400 || { operator_failed="the transfer did not end"; return; }
  screenshot done
  operator click start || operator_failed="Close could not be pressed"
}

operator_failed=""
if $interactive; then
  echo "The updater's window is open on $DISPLAY: pick the file with Browse, press Start, then Close."
  # Only looks: the same screenshots as the automated run takes.
  { operator wait-ready 86400 && screenshot device-ready
    operator wait-progress 30 86400 && screenshot mid-transfer
    operator wait-text start Close 86400 && screenshot done; } >/dev/null 2>&1 &
  children+=("$!")
else
  operate
  if [ -n "$operator_failed" ] && alive; then
    # A file-open dialog or a message box would keep the close from reaching the window.
    operator dismiss >/dev/null 2>&1 || true
    operator close >/dev/null 2>&1 || true
  fi
fi

# A person closes the window when they like.
bound=$UPDATER_EXIT_BOUND_S
$interactive && bound=$((7 * 24 * 3600))
if ! wait_for_pid "$updater" "$bound"; then
  stop_wine
  not_updated "the updater did not end within $bound s of its close; its Wine server was ended"
fi
updater_status=$waited_status
wait_for_pid "$watcher" 10 || stop_wine
if [ "$updater_status" -ne 0 ]; then
  not_updated "the updater ended with exit code $updater_status${operator_failed:+ ($operator_failed)}"
fi
[ -z "$operator_failed" ] || not_updated "$operator_failed"

final=$(sed -n 's/.*the window has closed; last status: "\(.*\)"$/\1/p' "$run_dir/watch.log" | tail -n 1)
echo "== final status: \"$final\""
echo "== what the simulated t6 received"
started_after=$(sed -n 's/^the transfer began after counter reading \([0-9]*\)$/\1/p' "$run_dir/watch.log" | tail -n 1)
build/host/tools/verify_capture "$file" "$run_dir/sim.stats" "$run_dir/sim.capture" $started_after ||
  not_updated "the device did not receive the file as it should"
[ "$final" = "Transfer complete. Please wait until t6/t10 rebooting completion." ] ||
  not_updated "the transfer did not complete"
echo "== update verified"
