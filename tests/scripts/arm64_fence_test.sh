#!/usr/bin/env bash
# The fence of the emulated ARM64 Wine (scripts/arm64-wine.sh), in a build root of its own so that
# it never meets a fence in use: its memory limit holds with swap as without (a runaway fails its
# test instead of spilling into swap), and a program inside that asks for more is ended.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_ROOT; BUILD_ROOT=$(mktemp -d)
export ARM64_MEMORY_MAX=$((64 * 1024 * 1024))
source "$root/scripts/common.sh"
source "$root/scripts/arm64-wine.sh"
trap 'arm64_fence_down; rm -rf "$BUILD_ROOT"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -w /sys/fs/cgroup/memory ] || { echo "no writable cgroup v1 memory controller: skipped"; exit 77; }
arm64_fence_up
memory=/sys/fs/cgroup/memory/$ARM64_FENCE
[ "$(cat "$memory/memory.limit_in_bytes")" = "$ARM64_MEMORY_MAX" ] || fail "memory limit $(cat "$memory/memory.limit_in_bytes")"
if [ -e "$memory/memory.memsw.limit_in_bytes" ]; then
  [ "$(cat "$memory/memory.memsw.limit_in_bytes")" = "$ARM64_MEMORY_MAX" ] ||
      fail "memory with swap is limited to $(cat "$memory/memory.memsw.limit_in_bytes"), not $ARM64_MEMORY_MAX"
fi
! arm64_fenced 60 python3 -c 'b = bytearray(256 * 1024 * 1024); b[::4096] = b"x" * len(b[::4096])' 2>/dev/null ||
    fail "a program that asks for 256 MiB inside a 64 MiB fence ran to its end"
echo "ok: the fence's memory limit holds, swap included"
