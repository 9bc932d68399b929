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
