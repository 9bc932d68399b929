#!/usr/bin/env bash
# Runs every test: the portable tests natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows tests under 64- and 32-bit Wine, the
# second compiler's build, the release package's reproducibility and signing,
# and bounded fuzzing runs. Ends with one summary line: "N passed, N failed".
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

FUZZ_SECONDS=${FUZZ_SECONDS:-60}

passed=0
failed=0
skipped=0
summarised=false
# The summary line ends every run; a run cut short (a build that failed, a
# command that did not work) counts as one more failure.
summary_line() {
  local line="$passed passed, $failed failed"
  [ "$skipped" -eq 0 ] || line="$line, $skipped skipped"
  echo "$line"
}
second_pid=""
summarise() {
  local status=$?
  [ -z "$second_pid" ] || kill -- -"$second_pid" 2>/dev/null || true
  cleanup
  if ! $summarised; then
    [ "$status" -eq 0 ] || failed=$((failed + 1))
    summary_line
  fi
  return "$status"
}
trap summarise EXIT

bash scripts/install-deps.sh
configure_and_build host-asan
configure_and_build windows
configure_and_build windows-x86
configure_and_build fuzz
# The second compiler builds the whole tree meanwhile, in a scheduling group of
# its own at the lowest priority: it takes only what the suites leave, which
# is most of the machine while the Windows suite waits on Wine and a core while
# each fuzzer runs, and slows none of them.
second_log=$(mktemp)
setsid bash -c 'echo 19 >/proc/self/autogroup 2>/dev/null; exec nice -n 19 bash scripts/second-compiler.sh' \
  >"$second_log" 2>&1 &
second_pid=$!
wait_for_second_compiler() {
  local status=0
  wait "$second_pid" || status=$?
  second_pid=""
  cat "$second_log"
  rm -f "$second_log"
  return "$status"
}
# Always a display of our own: a DISPLAY from elsewhere may be gone (a stale
# SSH forwarding) or a person's desktop, whose focus the tests would steal.
start_display
# A failed Windows test leaves a screenshot there (CI keeps the folder).
rm -rf build/test-artifacts
export T6_TEST_ARTIFACTS
T6_TEST_ARTIFACTS=$(windows_path "$ROOT/build/test-artifacts")

# run_ctest <preset>: adds the preset's counts to the totals.
run_ctest() {
  local preset=$1 log summary total bad
  log=$(mktemp)
  ctest --preset "$preset" -j2 --timeout 600 >"$log" 2>&1 || true
  summary=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
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
# Wine runs the 32-bit build's programs through its 32-bit loader, which a
# kernel booted without its ia32 emulation refuses: the suite is then skipped,
# and says so, rather than failing every test. (The 32-bit build is still
# built, checked and packaged.)
runs_32_bit=0
bash cmake/runs-32-bit.sh || runs_32_bit=$?
if [ "$runs_32_bit" -eq 1 ]; then
  echo "windows-x86: NOT RUN: this machine runs no 32-bit programs (its kernel's ia32 emulation is off)"
  skipped=$((skipped + 1))
else
  run_ctest windows-x86
fi

# run_check <name> <lines to show on success (a grep pattern)> <command...>:
# one more test, passed when the command succeeds.
run_check() {
  local name=$1 shown=$2 log
  shift 2
  log=$(mktemp)
  if "$@" >"$log" 2>&1; then
    passed=$((passed + 1))
    grep -E "$shown" "$log" || true
  else
    failed=$((failed + 1))
    tail -n 60 "$log"
    echo "$name: FAILED"
  fi
  rm -f "$log"
}

# Every C++ file as .clang-format says, and the program's own code against
# clang-tidy's checks, natively and as Win32.
run_check clang-format '^clang-format:' bash scripts/format.sh --check
run_check clang-tidy '^clang-tidy:' bash scripts/tidy.sh
# The release: built twice from HEAD in two clean folders, it must come out
# the same to the byte; then signed with a throwaway certificate.
bash tests/release/throwaway_certificate.sh build/package-certificate
run_check package '^  [0-9a-f]{64}  |^two builds|^package --check|^signed:' \
  env T6_SIGN_PKCS12=build/package-certificate/throwaway.pfx T6_SIGN_PASSWORD=throwaway \
      T6_SIGN_CA=build/package-certificate/throwaway.pem bash scripts/package.sh --check

# Each fuzzer counts as one test: a crash, a sanitizer report (UBSan's too) or
# a failed check fails it. They share FUZZ_SECONDS: half for the reader, a
# quarter each for the device search and the simulator's configuration parser.
fuzz_dir=build/fuzz
reader_seconds=$((FUZZ_SECONDS / 2 > 0 ? FUZZ_SECONDS / 2 : 1))  # 0 would mean no limit
other_seconds=$(((FUZZ_SECONDS - reader_seconds) / 2 > 0 ? (FUZZ_SECONDS - reader_seconds) / 2 : 1))

# run_fuzzer <target> <seconds> [libFuzzer flags]: adds its result to the totals.
run_fuzzer() {
  local target=$1 seconds=$2 log seeds=()
  shift 2
  [ -d "fuzz/seeds/$target" ] && seeds=("fuzz/seeds/$target")
  mkdir -p "$fuzz_dir/corpus/$target" "$fuzz_dir/artifacts"
  log=$(mktemp)
  if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=abort_on_error=1 \
     "$fuzz_dir/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
       -print_final_stats=1 -artifact_prefix="$fuzz_dir/artifacts/$target-" "$@" \
       "$fuzz_dir/corpus/$target" "${seeds[@]}" >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "fuzz $target: $(awk '/stat::number_of_executed_units/ {print $2}' "$log") executions in $seconds s, no failure"
  else
    failed=$((failed + 1))
    tail -n 60 "$log"
    echo "fuzz $target: FAILED"
  fi
  rm -f "$log"
}

run_fuzzer smf_fuzz "$reader_seconds" -max_len=65536  # messages of several 4096-byte writes
run_fuzzer discovery_fuzz "$other_seconds"
run_fuzzer sim_config_fuzz "$other_seconds"

# The second compiler's build, started before the suites (see above).
run_check second-compiler '^second compiler:' wait_for_second_compiler

summarised=true
summary_line
[ "$failed" -eq 0 ]
