# Shared by the scripts: a virtual display for Wine, and stopping Wine's
# server when a script ends. Source it; it sets an EXIT trap.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WINE_PREFIX_DIR="$ROOT/build/windows/wineprefix"
XVFB_PID=""

# Starts a private Xvfb on a free display and points DISPLAY at it, whatever
# DISPLAY said before; it is stopped at exit by its PID.
start_display() {
  local n tries
  for n in $(seq 90 120); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    for tries in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    # Too slow, or it died: none may be left behind before the next try.
    stop_display
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  [ -n "$XVFB_PID" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}

# wait_for_pid <pid> <seconds>: waits at most that long for a child of this
# shell to end, and puts its exit status in waited_status; fails while it runs.
wait_for_pid() {
  local pid=$1 deadline=$((SECONDS + $2))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
  waited_status=0
  wait "$pid" 2>/dev/null || waited_status=$?
}

stop_wine() {
  if [ -d "$WINE_PREFIX_DIR" ]; then
    WINEPREFIX="$WINE_PREFIX_DIR" wineserver -k >/dev/null 2>&1 || true
  fi
}

# Wine shows the Unix root as drive Z:.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# In a session of its own: Ctrl-C in the terminal then reaches the script, whose
# traps end Wine, and never a Wine process or the Wine server in the middle.
wine_run() { setsid --fork --wait "$ROOT/cmake/wine-run.sh" "$WINE_PREFIX_DIR" "$@"; }

# The automated operator (tools/operator): one action on the updater's window.
operator() { wine_run "$ROOT/build/windows/tools/t6operator.exe" "$@"; }

# use_simulator <report-dir>: registers the simulated driver service in the
# build's prefix, serving one t6 with its "FIRM" port, and has it write its
# report (stats and capture) into <report-dir>. T6_SIM_EXTRA adds lines to its
# configuration (a test's faults).
use_simulator() {
  local dir=$1
  wine_run regsvr32 /s "$(windows_path "$ROOT/build/windows/sim/qbus_sim.dll")"
  cat >"$dir/sim.conf" <<CONF
# One t6 of the maker, with its firmware port.
node = 1 2 0x000A7610 0x7606
port = 9 FIRM
stats_file = $(windows_path "$dir/sim.stats")
capture_file = $(windows_path "$dir/sim.capture")
${T6_SIM_EXTRA:-}
CONF
  export T6_QBUS_SIM_CONFIG
  T6_QBUS_SIM_CONFIG=$(windows_path "$dir/sim.conf")
}

# window_screenshot <title> <file.png>: the visible window of that title only.
window_screenshot() {
  local id
  id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
  [ -n "$id" ] && import -window "$id" "$2" 2>/dev/null
}

cleanup() {
  stop_wine
  # The 32-bit build's tests run in a prefix of their own.
  if [ -d "$ROOT/build/windows-x86/wineprefix" ]; then
    WINEPREFIX="$ROOT/build/windows-x86/wineprefix" wineserver -k >/dev/null 2>&1 || true
  fi
  stop_display
}
trap cleanup EXIT

# configure_and_build <preset>: quiet unless something fails.
configure_and_build() {
  local preset=$1 log
  log=$(mktemp)
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "build of preset '$preset' failed" >&2
    return 1
  fi
  rm -f "$log"
  echo "built: $preset"
}
