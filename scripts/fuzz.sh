#!/usr/bin/env bash
# A longer fuzzing run of the update-file reader, kept out of the test command.
#   scripts/fuzz.sh [seconds]   (default 1800)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

bash scripts/install-deps.sh
configure_and_build fuzz
mkdir -p build/fuzz/corpus build/fuzz/seeds
build/fuzz/fuzz/make_fuzz_seeds build/fuzz/seeds
exec build/fuzz/fuzz/smf_fuzz -max_total_time="${1:-1800}" -rss_limit_mb=4096 -print_final_stats=1 \
  -jobs="$(nproc)" -workers="$(nproc)" build/fuzz/corpus build/fuzz/seeds
