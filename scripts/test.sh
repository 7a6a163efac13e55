#!/usr/bin/env bash
# Installs what is missing, builds the native, Windows (64-bit, 32-bit, ARM64) and fuzz trees, prepares
# the Wine prefixes and runs every test, the ARM64 tree's under emulated arm64 Wine inside its fence
# (scripts/arm64-wine.sh). Extra arguments go to ctest, e.g. scripts/test.sh -L selection; the
# reproducibility check runs only when named: scripts/test.sh -L reproducible
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/arm64-wine.sh"

ensure_packages
# The ARM64 tree's test runner names the arm64 Wine's root, so the root comes before the tree.
ensure_arm64_wine_root
build_all
configure_win_tree "$ARM64" RelWithDebInfo arm64
cmake --build "$ARM64"
prepare_prefix
start_wineserver
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; arm64_fence_down' EXIT

# The reproducibility check (label reproducible) builds the release four times: only when asked.
case " $* " in
  *reproducible*) ;;
  *) set -- -LE reproducible "$@" ;;
esac

passed=0 failed=0 status=0
run_tree() {  # run_tree DIR JOBS ARGS...; ctest runs through $runner when set (the ARM64 fence)
  local dir=$1 jobs=$2; shift 2
  local log; log=$(mktemp)
  ${runner:-} ctest --test-dir "$dir" -j "$jobs" --output-on-failure "$@" 2>&1 | tee "$log" || status=1
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
# The ARM64 tree under emulation, inside the fence; a setup that cannot be made is one failure.
if prepare_arm64_wine && hold_arm64_desktop "$ARM64"; then
  runner="arm64_fenced 3600" run_tree "$ARM64" 1 "$@"
else
  echo "the ARM64 tests did not run: their emulated Wine could not be set up (above)"
  failed=$((failed + 1)) status=1
fi
arm64_fence_down

echo "all trees: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
