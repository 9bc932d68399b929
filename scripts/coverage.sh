#!/usr/bin/env bash
# Line and branch coverage of the native test suite, one row per top-level
# folder, from an instrumented build (preset "coverage", build/coverage).
# The per-file detail goes to build/coverage/coverage.txt.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

BUILD=build/coverage

bash scripts/install-deps.sh
configure_and_build coverage

# Counters add up across runs: start from zero so every run reports the same.
find "$BUILD" -name '*.gcda' -delete
# Notes of sources no longer built would show as uncovered files: drop the
# objects ninja no longer builds, then every note left without its object.
ninja -C "$BUILD" -t cleandead >/dev/null
find "$BUILD" -name '*.gcno' -print0 | while IFS= read -r -d '' note; do
  [ -e "${note%.gcno}.o" ] || rm -f "$note"
done

log="$BUILD/ctest.log"
if ! ctest --preset coverage -j2 >"$log" 2>&1; then
  # The output of each failed test, then the list; the whole log stays in $log.
  awk '/\*\*\*(Failed|Timeout|Exception)|Subprocess/ {show=1} /^ *Start +[0-9]+:/ {show=0} show' "$log" | head -n 400 >&2
  sed -n '/tests failed out of/,$p' "$log" >&2
  echo "the native tests failed; coverage not reported (log: $log)" >&2
  exit 1
fi
grep -E 'tests passed|tests failed' "$log" | tail -1

# gcov runs once into a tracefile; the reports below are read back from it.
# Options:
#  --exclude-throw-branches       drops the branches gcc adds for exception
#                                 propagation out of every call that may throw;
#                                 they would otherwise dominate branch counts.
#  --exclude-unreachable-branches drops branches on lines with no real code
#                                 (closing braces, compiler-generated cleanup).
#  The filters are relative to the repository: tests, fuzzers, benchmarks and
#  the build's generated files are not measured; googletest lies outside.
trace="$BUILD/coverage.json"
gcovr --root "$ROOT" "$BUILD" -j 4 \
  --exclude-throw-branches --exclude-unreachable-branches \
  --exclude '(tests|fuzz|bench|build)/' --exclude '.*googletest' \
  --json "$trace"

gcovr --root "$ROOT" --add-tracefile "$trace" --txt "$BUILD/coverage.lines.txt"
gcovr --root "$ROOT" --add-tracefile "$trace" --branches --txt "$BUILD/coverage.branches.txt"
cat "$BUILD/coverage.lines.txt" "$BUILD/coverage.branches.txt" >"$BUILD/coverage.txt"
rm -f "$BUILD/coverage.lines.txt" "$BUILD/coverage.branches.txt"

gcovr --root "$ROOT" --add-tracefile "$trace" --json-summary "$BUILD/coverage-summary.json"

python3 - "$BUILD/coverage-summary.json" <<'PY'
import json, sys

files = json.load(open(sys.argv[1]))["files"]
folders = {}
for f in files:
    name = f["filename"].split("/", 1)[0] if "/" in f["filename"] else "."
    t = folders.setdefault(name, [0, 0, 0, 0])
    t[0] += f["line_covered"]; t[1] += f["line_total"]
    t[2] += f["branch_covered"]; t[3] += f["branch_total"]

def pct(c, n):
    return f"{100.0 * c / n:5.1f}%" if n else "     -"

def row(name, t):
    lines = f"{t[0]}/{t[1]}"
    branches = f"{t[2]}/{t[3]}"
    return f"{name:<12} {lines:<11} {pct(t[0], t[1])}   {branches:<11} {pct(t[2], t[3])}"

print(f"{'folder':<12} {'lines':<21}{'branches'}")
total = [0, 0, 0, 0]
for name in sorted(folders):
    print(row(name, folders[name]))
    total = [a + b for a, b in zip(total, folders[name])]
print(row("total", total))
PY
echo "per-file detail: $BUILD/coverage.txt"
