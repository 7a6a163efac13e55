#!/usr/bin/env bash
# Installs what is missing, builds the native, Windows (64- and 32-bit) and fuzz trees, prepares the
# Wine prefix and runs every test. Extra arguments go to ctest, e.g. scripts/test.sh -L selection
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages
build_all
prepare_prefix
start_wineserver

passed=0 failed=0 status=0
run_tree() {  # run_tree DIR JOBS ARGS...
  local dir=$1 jobs=$2; shift 2
  local log; log=$(mktemp)
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure "$@" 2>&1 | tee "$log" || status=1
  local line; line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local total bad
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "$line" | sed -E 's/.*, ([0-9]+) tests failed.*/\1/')
    passed=$((passed + total - bad)); failed=$((failed + bad))
  fi
  rm -f "$log"
}

run_tree "$NATIVE" 2 "$@"
run_tree "$WIN" 1 "$@"
run_tree "$WIN32" 1 "$@"
run_tree "$FUZZ" 1 "$@"

echo "all trees: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
