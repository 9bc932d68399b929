#!/usr/bin/env bash
# The benchmarks, kept out of the test command; they print figures and assert
# nothing. Streaming overhead natively (Play against memcpy), then pacing under
# Wine: the program's transfer into the simulated driver service.
#   scripts/bench.sh [pacing runs]   (default 3 transfers a row)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

runs=${1:-3}

bash scripts/install-deps.sh
configure_and_build host
configure_and_build windows
start_display

echo "== streaming overhead (native)"
build/host/bench/transfer_bench --benchmark_color=false

echo "== pacing (Wine, simulated driver service)"
# The benchmark creates the service by class identifier, as the program does.
# Wine shows the Unix root as drive Z:.
dll="$ROOT/build/windows/sim/qbus_sim.dll"
cmake/wine-run.sh "$WINE_PREFIX_DIR" regsvr32 /s "Z:${dll//\//\\}"
echo "machine load before (1, 5, 15 min averages): $(cut -d' ' -f1-3 /proc/loadavg)"
cmake/wine-run.sh "$WINE_PREFIX_DIR" build/windows/bench/pacing_bench.exe "$runs"
echo "machine load after (1, 5, 15 min averages): $(cut -d' ' -f1-3 /proc/loadavg)"
