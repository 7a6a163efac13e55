#!/usr/bin/env bash
# harvest_test.sh BIN WIN32_BIN: the release's harvest (packaging/msi/harvest.sh) in a build root of
# its own refuses a registration that writes a key a restart of the registry loses: the stage's
# TorvoShellMenu.dll is volatile_registration.dll from BIN, its 32-bit DLL the 32-bit tree's.
set -euo pipefail
bin=$1 bin32=$2
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
export BUILD_ROOT=$work/build
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/stage" "$BUILD_ROOT"
cp "$bin/volatile_registration.dll" "$work/stage/TorvoShellMenu.dll"
cp "$bin32/TorvoShellMenu32.dll" "$work/stage/"
if "$root/packaging/msi/harvest.sh" "$work/stage" "$bin/.." >"$work/out" 2>&1; then
  cat "$work/out"
  fail "the harvest took a registration with a volatile key"
fi
grep -qF "registration wrote what a restart of the registry loses" "$work/out" ||
    { cat "$work/out"; fail "the harvest failed for another reason"; }
grep -qi '{7D1E8C42-5A36-4F0B-9E21-C4B8D3A61F07}\\Session' "$work/out" ||
    { cat "$work/out"; fail "the refusal does not name the volatile key"; }
[ ! -e "$work/stage/registration.json" ] || fail "the harvest wrote rows"
echo "ok: the harvest refused the volatile key"
