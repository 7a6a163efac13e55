#!/usr/bin/env bash
# The ARM64 sysroot's cache (scripts/arm64-sysroot.sh), with apt stubbed and a cache of its own: a
# run finds the sysroot its sources and recipe made and builds nothing; with the recipe raised, it
# no longer takes that sysroot and builds anew (here the stubbed apt-get fails, so the run fails).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/scripts" "$work/bin"
cp "$root/scripts/common.sh" "$root/scripts/wine_run.sh" "$root/scripts/arm64-sysroot.sh" "$work/scripts/"
printf '#!/bin/sh\necho "Version: 1.0-1"\n' >"$work/bin/apt-cache"
printf '#!/bin/sh\ncase "$*" in *update*) exit 0 ;; esac\nexit 1\n' >"$work/bin/apt-get"  # fetches no source
printf '#!/bin/sh\ncat >/dev/null\n' >"$work/bin/tee"  # the source lines stay unwritten
chmod +x "$work/bin/"*
export PATH=$work/bin:$PATH TORVO_CACHE=$work/cache

# Runs the copy of the script with the recipe RECIPE: what it printed in $printed, the sysroot it
# looked for in $looked.
run() {
  sed -i "s/^RECIPE=[0-9]*/RECIPE=$1/" "$work/scripts/arm64-sysroot.sh"
  bash -x "$work/scripts/arm64-sysroot.sh" >"$work/out" 2>"$work/trace" || true
  printed=$(cat "$work/out") looked=$(sed -n 's/^+ sysroot=//p' "$work/trace")
}

run 2
[ -n "$looked" ] || fail "the script looked for no sysroot: $(tail -n 5 "$work/trace")"
cached=$looked
mkdir -p "$cached" && touch "$cached/.complete"
run 2
[ "$printed" = "$cached" ] || fail "the same sources and recipe do not find their sysroot"
run 3
[ "$printed" != "$cached" ] && [ "$looked" != "$cached" ] || fail "a raised recipe still takes the sysroot of the old one"
echo "ok: a raised recipe builds the sysroot anew"
