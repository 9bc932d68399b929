# Shared by the scripts: a virtual display for Wine, and stopping Wine's
# server when a script ends. Source it; it sets an EXIT trap.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WINE_PREFIX_DIR="$ROOT/build/windows/wineprefix"
XVFB_PID=""

# Starts Xvfb on a free display when none is set; stopped at exit by its PID.
start_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    local tries
    for tries in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Wine shows the Unix root as drive Z:.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

wine_run() { "$ROOT/cmake/wine-run.sh" "$WINE_PREFIX_DIR" "$@"; }

# The automated operator (tools/operator): one action on the updater's window.
operator() { wine_run "$ROOT/build/windows/tools/t6operator.exe" "$@"; }

# use_simulator <report-dir>: registers the simulated driver service in the
# build's prefix, serving one t6 with its "FIRM" port, and has it write its
# report (stats and capture) into <report-dir>.
use_simulator() {
  local dir=$1
  wine_run regsvr32 /s "$(windows_path "$ROOT/build/windows/sim/qbus_sim.dll")"
  cat >"$dir/sim.conf" <<CONF
# One t6 of the maker, with its firmware port.
node = 1 2 0x000A7610 0x7606
port = 9 FIRM
stats_file = $(windows_path "$dir/sim.stats")
capture_file = $(windows_path "$dir/sim.capture")
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
  if [ -d "$WINE_PREFIX_DIR" ]; then
    WINEPREFIX="$WINE_PREFIX_DIR" wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
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
