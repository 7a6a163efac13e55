#!/usr/bin/env bash
# What scripts/common.sh's ensure_packages asks of dpkg and apt-get, with both stood in for: nothing
# when every package is there; a missing package of another architecture (wine32:i386) first adds
# that architecture unless dpkg already has it, then the lists are read and the missing installed.
set -euo pipefail
source "$(dirname "$0")/../../scripts/common.sh"
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
status=0

# The stand-ins log their calls; dpkg-query answers "installed" for all but $MISSING.
printf '#!/bin/sh\nfor p in $MISSING; do [ "$p" = "$3" ] && exit 1; done\necho "install ok installed"\n' \
    >"$stubs/dpkg-query"
printf '#!/bin/sh\ncase "$1" in\n  --print-foreign-architectures) echo "$FOREIGN" ;;\n  *) echo "dpkg $*" >>"$LOG" ;;\nesac\n' \
    >"$stubs/dpkg"
printf '#!/bin/sh\necho "apt-get $*" >>"$LOG"\n' >"$stubs/apt-get"
printf '#!/bin/sh\necho 0\n' >"$stubs/id"
chmod +x "$stubs"/*

# expect NAME MISSING FOREIGN CALLS...: the calls made when MISSING are missing and dpkg has the
# foreign architectures FOREIGN.
expect() {
  local name=$1 missing=$2 foreign=$3; shift 3
  : >"$stubs/log"
  PATH=$stubs:$PATH MISSING=$missing FOREIGN=$foreign LOG=$stubs/log ensure_packages >/dev/null
  local calls; calls=$(cat "$stubs/log")
  local wanted; wanted=$(printf '%s\n' "$@")
  [ "$calls" = "$wanted" ] || { printf 'FAIL: %s:\n%s\nexpected:\n%s\n' "$name" "$calls" "$wanted" >&2; status=1; }
}

expect "nothing missing" "" ""
expect "wine32 on a machine without i386" "wine32:i386" "" \
    "dpkg --add-architecture i386" "apt-get update -qq" "apt-get install -y -qq wine32:i386"
expect "i386 already added" "cmake wine32:i386" "i386" \
    "apt-get update -qq" "apt-get install -y -qq cmake wine32:i386"
expect "packages of the machine's own architecture only" "cmake g++-mingw-w64-i686-posix" "" \
    "apt-get update -qq" "apt-get install -y -qq cmake g++-mingw-w64-i686-posix"
exit $status
