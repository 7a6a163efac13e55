#!/usr/bin/env bash
# Builds and runs the benchmarks: the native ones (Google Benchmark, build/native/bench/*_bench) and
# the Windows ones under Wine (build/win/bin/*_bench.exe), and prints each as a ratio to its baseline.
# Native pairs: a benchmark whose name holds "Baseline" is the baseline of the benchmarks of the
# same program whose names begin with what stands before "Baseline" (and, for a baseline run with
# an argument, "Name/N", of those run with the same argument).
# Not a test: nothing here passes or fails on a number.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages
[ -f "$NATIVE/build.ninja" ] || cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
configure_win_tree "$WIN" RelWithDebInfo
cmake --build "$NATIVE"
cmake --build "$WIN"

# Prints "benchmark / baseline  ratio" for the CSV output of one Google Benchmark program.
native_ratios() {
  awk -F, '
    function ns(time, unit) { return unit == "s" ? time * 1e9 : unit == "ms" ? time * 1e6 : unit == "us" ? time * 1e3 : time }
    NR > 1 && $1 ~ /^"/ { gsub(/"/, "", $1); name[++n] = $1; cost[$1] = ns($4, $5) }
    END {
      for (i = 1; i <= n; i++) {
        b = name[i]; at = index(b, "Baseline"); if (at == 0) continue
        prefix = substr(b, 1, at - 1)
        slash = index(b, "/"); suffix = slash == 0 ? "" : substr(b, slash)
        for (j = 1; j <= n; j++) {
          m = name[j]
          same = suffix == "" || substr(m, length(m) - length(suffix) + 1) == suffix
          if (m != b && same && index(m, "Baseline") == 0 && index(m, prefix) == 1)
            printf "  %-40s / %-45s %6.2f\n", m, b, cost[m] / cost[b]
        }
      }
    }'
}

echo "== native benchmarks"
for program in "$NATIVE"/bench/*_bench; do
  [ -x "$program" ] || continue
  echo "$(basename "$program"):"
  "$program" --benchmark_format=csv 2>/dev/null | native_ratios
done

echo "== Wine benchmarks"
prepare_prefix
start_wineserver
for program in "$WIN"/bin/*_bench.exe; do
  [ -f "$program" ] || continue
  echo "$(basename "$program"):"
  "$WIN/wine-run" "$program" </dev/null | sed 's/^/  /'
done
