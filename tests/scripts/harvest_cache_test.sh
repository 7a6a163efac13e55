#!/usr/bin/env bash
# The release's harvest cache (packaging/msi/harvest_cache.sh): its key changes with the machine,
# with each registering DLL's bytes and with each script that harvests, and only then; a harvest of
# a key met before is not run again, its rows come from the cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A copy of the sources the key reads, so that a script can be changed.
mkdir -p "$work/src/packaging/msi"
cp "$root/packaging/msi/harvest_cache.sh" "$work/src/packaging/msi/"
(cd "$root" && for f in packaging/msi/harvest.sh packaging/msi/registration_rows.py packaging/msi/reg_export.py \
    scripts/common.sh scripts/wine_run.sh scripts/arm64-wine.sh tools/hold_desktop/hold_desktop.cpp; do
  mkdir -p "$work/src/$(dirname "$f")" && cp "$f" "$work/src/$f"; done)
source "$work/src/packaging/msi/harvest_cache.sh"
echo dll64 >"$work/a.dll" && echo dll32 >"$work/b.dll"

key=$(harvest_key x64 "$work/a.dll" "$work/b.dll")
[ "$(harvest_key x64 "$work/a.dll" "$work/b.dll")" = "$key" ] || fail "the same inputs give another key"
[ "$(harvest_key arm64 "$work/a.dll" "$work/b.dll")" != "$key" ] || fail "the machine is not in the key"
echo dll64, rebuilt >"$work/a.dll"
[ "$(harvest_key x64 "$work/a.dll" "$work/b.dll")" != "$key" ] || fail "the 64-bit DLL's bytes are not in the key"
echo dll64 >"$work/a.dll" && echo dll32, rebuilt >"$work/b.dll"
[ "$(harvest_key x64 "$work/a.dll" "$work/b.dll")" != "$key" ] || fail "the 32-bit DLL's bytes are not in the key"
echo dll32 >"$work/b.dll"
for script in "${HARVEST_SCRIPTS[@]}"; do
  echo "# changed" >>"$work/src/$script"
  [ "$(harvest_key x64 "$work/a.dll" "$work/b.dll")" != "$key" ] || fail "$script is not in the key"
  sed -i '$ d' "$work/src/$script"
done
[ "$(harvest_key x64 "$work/a.dll" "$work/b.dll")" = "$key" ] || fail "the restored scripts give another key"

# A stand-in harvest that counts its runs and writes rows named after them.
harvest() {
  echo run >>"$work/runs"
  for row in "${HARVEST_ROWS[@]}"; do echo "$row of run $(wc -l <"$work/runs")" >"$1/$row"; done
}
mkdir -p "$work/unsigned" "$work/signed"
cached_harvest "$work/cache" "$key" "$work/unsigned" harvest "$work/unsigned" >/dev/null
said=$(cached_harvest "$work/cache" "$key" "$work/signed" harvest "$work/signed")
[ "$(wc -l <"$work/runs")" = 1 ] || fail "the second harvest of the same key ran again"
[[ $said == *"from the harvest of the same DLLs"* ]] || fail "the reuse was not told: $said"
for row in "${HARVEST_ROWS[@]}"; do
  cmp -s "$work/unsigned/$row" "$work/signed/$row" || fail "$row is not the first harvest's"
done
cached_harvest "$work/cache" "other-key" "$work/signed" harvest "$work/signed" >/dev/null
[ "$(wc -l <"$work/runs")" = 2 ] || fail "a harvest of another key did not run"
# A cache a harvest cut short left (the rows copied in part, no mark of completion) is no harvest.
mkdir -p "$work/cache/cut-short" && echo partial >"$work/cache/cut-short/registration.json"
cached_harvest "$work/cache" "cut-short" "$work/signed" harvest "$work/signed" >/dev/null
[ "$(wc -l <"$work/runs")" = 3 ] || fail "the rows of a harvest cut short were taken"
# A harvest that fails leaves no rows in the cache for its key.
cached_harvest "$work/cache" "failing" "$work/signed" false && fail "a failed harvest succeeded"
[ ! -e "$work/cache/failing" ] || fail "a failed harvest left its key in the cache"
echo "ok: the harvest cache is keyed by its inputs"
