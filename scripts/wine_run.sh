# The one way the scripts and the tests start a Windows program under Wine. Source it (common.sh
# does); bash.
#
# wine_run [--life FILE] [--speaks] [--timeout SECONDS] [--] PROGRAM [ARGUMENTS...]
#   Runs PROGRAM with Wine's loader in WINEPREFIX and answers its exit code. Its standard output
#   goes to standard output as it comes, its standard error to standard error when it has ended.
#   A start that left no trace is tried again, at most three times in all: the program ended with
#   a status of Wine's loader (which a shell sees modulo 256), wrote nothing (Wine's own debug lines
#   aside) and left no sign of life: FILE, when given (msiexec's log, an export's file), is not
#   there. With --speaks (a program that writes to its standard output whenever it runs: the test
#   programs), an end with any error having written nothing is no trace either: seen under load, a
#   test program that Wine never started ended with exit code 1 and not a byte written.
#   A program that ran is never run again, whatever its result. The tries after the first
#   run with Wine's error channel on (WINEDEBUG=err+all), whose lines are kept in the record.
#   A program still running after SECONDS (default 600; 0: no limit) is ended and counts as hung
#   (exit 124).
#   When the run fails (exit code not 0, or hung), its record goes to standard error: the command,
#   the attempts, how each ended, and what Wine said.
# Settings: WINE_RUN_LOADER, the loader (default Wine's 64-bit one: with wine32 installed, `wine`
# is the 32-bit loader); WINE_RUN_LIMIT, a command that runs "SECONDS COMMAND..." within its time
# (default `timeout -k 10`; the ARM64 tree's fence gives its own); WINE_RUN_QUIET=1 keeps the
# record of an expected failure off standard error.

# The exit codes, modulo 256, of the statuses with which Wine's loader ends a process it could not
# bring up to the program: STATUS_DLL_NOT_FOUND, ENTRYPOINT_NOT_FOUND, ORDINAL_NOT_FOUND,
# DLL_INIT_FAILED, INVALID_IMAGE_FORMAT.
WINE_RUN_LOADER_STATUSES=" 53 57 56 66 123 "

# wine_run_left_no_trace CODE OUT ERR LIFE SPEAKS: whether an attempt that ended with CODE, having
# written the files OUT and ERR, never ran; LIFE is the sign-of-life file or empty, SPEAKS 1 for a
# program that always writes to its standard output.
wine_run_left_no_trace() {
  local code=$1 out=$2 err=$3 life=$4 speaks=$5
  [ "$speaks" = 1 ] || [[ $WINE_RUN_LOADER_STATUSES == *" $code "* ]] || return 1
  [ ! -s "$out" ] || return 1
  ! grep -qvE '^[0-9a-f]{4}:(err|fixme|warn|trace):' "$err" || return 1
  [ -z "$life" ] || [ ! -e "$life" ]
}

wine_run() {
  local life="" seconds=600 speaks=0
  while [ $# -gt 0 ]; do
    case $1 in
      --life) life=$2; shift 2 ;;
      --speaks) speaks=1; shift ;;
      --timeout) seconds=$2; shift 2 ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  local loader=${WINE_RUN_LOADER:-/usr/lib/wine/wine64} limit=${WINE_RUN_LIMIT:-timeout -k 10}
  local dir; dir=$(mktemp -d) || return 1
  local attempt=1 code=0 debug=${WINEDEBUG:--all} record=""
  while :; do
    # The program writes into files, never a pipe: Wine's background processes that it starts keep
    # its handles open after it has ended. Its output reaches the caller as it comes, its error
    # stream once it has ended.
    : >"$dir/out"
    WINEDEBUG=$debug $limit "$seconds" "$loader" "$@" <&0 >"$dir/out" 2>"$dir/err" &
    local pid=$!
    tail -n +1 -s 0.2 -f --pid="$pid" "$dir/out" &
    local streamer=$!
    code=0
    wait "$pid" || code=$?
    wait "$streamer" || true
    cat "$dir/err" >&2
    case $code in
      0) record="$record attempt $attempt: exit 0;" ;;
      124|137) record="$record attempt $attempt: hung, ended after $seconds s;" ;;
      *) record="$record attempt $attempt: exit $code, $(wc -c <"$dir/out") bytes of output;" ;;
    esac
    [ "$code" != 0 ] && [ "$attempt" -lt 3 ] && wine_run_left_no_trace "$code" "$dir/out" "$dir/err" "$life" "$speaks" || break
    record="$record Wine did not start it;"
    attempt=$((attempt + 1)) debug=err+all
  done
  if [ "$code" != 0 ] && [ "${WINE_RUN_QUIET:-0}" != 1 ]; then
    {
      echo "wine_run: $* (in $WINEPREFIX):$record"
      [ -z "$life" ] || { [ -e "$life" ] && echo "wine_run: its sign of life $life is there" ||
                              echo "wine_run: its sign of life $life never appeared"; }
      [ ! -s "$dir/err" ] || { echo "wine_run: what the last attempt wrote to its error stream:"; tail -n 40 "$dir/err"; }
      # Its output went to the caller, who may have thrown it away: its end belongs to the record.
      [ ! -s "$dir/out" ] || { echo "wine_run: the last lines of its output:"; tail -n 10 "$dir/out"; }
    } >&2
  fi
  rm -rf "$dir"
  return "$code"
}
