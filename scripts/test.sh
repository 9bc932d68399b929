#!/usr/bin/env bash
# Runs every test: the portable tests natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows tests under Wine, and a bounded
# fuzzing run. Ends with one summary line: "N passed, N failed".
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

FUZZ_SECONDS=${FUZZ_SECONDS:-60}

bash scripts/install-deps.sh
configure_and_build host-asan
configure_and_build windows
configure_and_build fuzz
start_display

passed=0
failed=0

# run_ctest <preset>: adds the preset's counts to the totals.
run_ctest() {
  local preset=$1 log summary total bad
  log=$(mktemp)
  ctest --preset "$preset" -j2 --timeout 600 >"$log" 2>&1 || true
  summary=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$summary" ]; then
    cat "$log"
    echo "ctest ($preset) did not finish" >&2
    failed=$((failed + 1))
  else
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$summary")
    if [ "$bad" -ne 0 ]; then
      # The output of each failed test, then the list.
      awk '/\*\*\*(Failed|Timeout|Exception)|Subprocess/ {show=1} /^ *Start +[0-9]+:/ {show=0} show' "$log" | head -n 400
      sed -n '/The following tests FAILED/,$p' "$log"
    fi
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    echo "$preset: $summary"
  fi
  rm -f "$log"
}

run_ctest host-asan
run_ctest windows

# The fuzzer counts as one test: any crash or failed check fails it.
fuzz_dir=build/fuzz
mkdir -p "$fuzz_dir/corpus" "$fuzz_dir/seeds"
"$fuzz_dir/fuzz/make_fuzz_seeds" "$fuzz_dir/seeds"
fuzz_log=$(mktemp)
if "$fuzz_dir/fuzz/smf_fuzz" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=4096 -print_final_stats=1 \
     "$fuzz_dir/corpus" "$fuzz_dir/seeds" >"$fuzz_log" 2>&1; then
  passed=$((passed + 1))
  echo "fuzz: $(grep -E 'stat::number_of_executed_units' "$fuzz_log" | awk '{print $2}') executions in ${FUZZ_SECONDS} s, no failure"
else
  failed=$((failed + 1))
  tail -n 60 "$fuzz_log"
  echo "fuzz: FAILED"
fi
rm -f "$fuzz_log"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
