#!/usr/bin/env bash
# Longer fuzzing runs, kept out of the test command, one target after another:
# the update-file reader, the device search, the simulator's configuration parser.
#   scripts/fuzz.sh [seconds per target]   (default 1800)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
configure_and_build fuzz
# The workers' logs (fuzz-N.log) and crashing inputs go to the build tree.
cd build/fuzz
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=abort_on_error=1
status=0
for target in smf_fuzz discovery_fuzz sim_config_fuzz; do
  extra=() seeds=()
  [ -d "$ROOT/fuzz/seeds/$target" ] && seeds=("$ROOT/fuzz/seeds/$target")
  [ "$target" = smf_fuzz ] && extra=(-max_len=65536)  # messages of several 4096-byte writes
  mkdir -p "corpus/$target" artifacts
  echo "== $target"
  "fuzz/$target" -max_total_time="${1:-1800}" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -jobs="$(nproc)" -workers="$(nproc)" -artifact_prefix="artifacts/$target-" "${extra[@]}" \
    "corpus/$target" "${seeds[@]}" || status=1
done
exit "$status"
