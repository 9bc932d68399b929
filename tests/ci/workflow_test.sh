#!/usr/bin/env bash
# The CI workflows, checked here without a network before a code host runs
# them: each against the workflow schema (action-validator, which
# scripts/install-deps.sh put into tests/ci/node_modules), and for the scripts
# and CMake presets it names (check_workflow.py). Each check must also refuse
# a copy with one fault put in: a key the schema does not know, a misspelt
# preset, a missing script.
#   workflow_test.sh <source root>
set -uo pipefail
root=$1
validator=$root/tests/ci/node_modules/.bin/action-validator
checker=$root/tests/ci/check_workflow.py
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
if [ ! -x "$validator" ]; then
  echo "FAIL: no $validator: run scripts/install-deps.sh"
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
workflows=("$root"/.github/workflows/*.yml)
[ -f "${workflows[0]}" ] || fail "no workflow in .github/workflows"
for workflow in "${workflows[@]}"; do
  name=${workflow#"$root"/}
  "$validator" "$workflow" >"$scratch/out" 2>&1 || { cat "$scratch/out"; fail "$name does not follow the workflow schema"; }
  /usr/bin/python3 "$checker" "$workflow" "$root" || fail "$name names what the project does not have"
done

# refused <what> <sed expression> schema|names: that check must fail on a
# copy of the workflow changed so.
refused() {
  local what=$1 change=$2 check=$3
  sed "$change" "$root/.github/workflows/ci.yml" >"$scratch/ci.yml"
  if cmp -s "$root/.github/workflows/ci.yml" "$scratch/ci.yml"; then
    fail "$what: the change did not apply"
  elif [ "$check" = schema ] && "$validator" "$scratch/ci.yml" >/dev/null 2>&1; then
    fail "$what was not refused by the schema check"
  elif [ "$check" = names ] && /usr/bin/python3 "$checker" "$scratch/ci.yml" "$root" >/dev/null 2>&1; then
    fail "$what was not refused by the names' check"
  fi
}
refused "a key the schema does not know" 's/runs-on:/runs_on:/' schema
refused "a misspelt preset" 's/msvc-x86\]/msvc-x68]/' names
refused "a missing script" 's#scripts/windows-ci.ps1#scripts/windows_ci.ps1#' names
[ "$failures" -eq 0 ] && echo "workflows: valid, and every script and preset they name exists"
[ "$failures" -eq 0 ]
