#!/usr/bin/env bash
# The scripts' one way of starting a Windows program (scripts/wine_run.sh), with a stand-in for
# Wine's loader that behaves as each row asks and counts its starts: which runs it starts again,
# what each answers, and the record a failure prints.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine_run.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The stand-in loader: the program's name is what it does; every start is counted.
cat >"$work/loader" <<'STUB'
#!/bin/bash
echo start >>"$STARTS"
case $1 in
  missing) echo "wine: cannot find L\"C:\\\\windows\\\\system32\\\\missing.exe\"" >&2; exit 53 ;;
  never-starts) [ "$WINEDEBUG" = -all ] || echo "0024:err:module:import_dll Library user32.dll not found" >&2; exit 66 ;;
  starts-second-time) [ "$(wc -l <"$STARTS")" -ge 2 ] && { echo ran; exit 0; }; exit 66 ;;
  fails) exit 3 ;;
  says-and-fails) echo "failing"; exit 3 ;;
  writes-its-log) touch "$LOG"; exit 66 ;;
  hangs) exec sleep 30 ;;
esac
STUB
chmod +x "$work/loader"
export WINE_RUN_LOADER=$work/loader STARTS=$work/starts LOG=$work/log WINEPREFIX=$work/prefix

# row PROGRAM EXIT STARTS [WINE_RUN OPTIONS]: the run's exit code and starts; its output in $out,
# its error stream (the record) in $err.
row() {
  local program=$1 want=$2 starts=$3 code=0; shift 3
  rm -f "$STARTS" "$LOG"
  wine_run "$@" "$program" >"$work/out" 2>"$work/err" || code=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
  [ "$code" = "$want" ] || fail "$program: exit $code, not $want; $err"
  [ "$(wc -l <"$STARTS")" = "$starts" ] || fail "$program: started $(wc -l <"$STARTS") times, not $starts; $err"
}

row missing 53 1
[[ $err == *"cannot find"* && $err == *"wine_run: missing (in $WINEPREFIX): attempt 1: exit 53"* ]] ||
    fail "the record of a missing program: $err"
row never-starts 66 3
[[ $err == *"attempt 3: exit 66"* && $err == *"Wine did not start it"* && $err == *"err:module"* ]] ||
    fail "the record of a program that never started, with Wine's errors of its tries: $err"
row starts-second-time 0 2
[ "$out" = ran ] && [ -z "$err" ] || fail "a program that ran at the second start: output '$out', record '$err'"
row fails 3 1
row fails 3 3 --speaks
row says-and-fails 3 1 --speaks
row writes-its-log 66 1 --life "$LOG"
row hangs 124 1 --timeout 1
[[ $err == *"attempt 1: hung, ended after 1 s"* ]] || fail "the record of a hung program: $err"
WINE_RUN_QUIET=1 row fails 3 1
[ -z "$err" ] || fail "a quiet run's expected failure printed its record: $err"
echo "ok: wine_run starts again only a start that left no trace"
