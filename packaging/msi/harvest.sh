#!/usr/bin/env bash
# harvest.sh DLL STAGE
# Registers DLL with regsvr32 (machine-wide) in a clean Wine prefix of its own, as
# C:\Program Files\ZebTorvo\TorvoShellMenu.dll, and turns what it wrote into the installer's rows:
# STAGE/registration.json and STAGE/registration.wxi (registration_rows.py). BUILD_ROOT holds the
# prefix, which is made anew each time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/common.sh"
dll=$1 stage=$2
export WINEPREFIX=$BUILD_ROOT/harvest-prefix

fail() { echo "harvest: $*" >&2; exit 1; }

fresh_prefix "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true' EXIT
folder="$WINEPREFIX/drive_c/Program Files/ZebTorvo"
mkdir -p "$folder" && cp "$dll" "$folder/TorvoShellMenu.dll"
export_registry 'C:\before.reg'
wine regsvr32 /s 'C:\Program Files\ZebTorvo\TorvoShellMenu.dll' || fail "regsvr32 failed"
export_registry 'C:\after.reg'
python3 "$here/registration_rows.py" rows "$WINEPREFIX/drive_c/before.reg" "$WINEPREFIX/drive_c/after.reg" \
    'C:\Program Files\ZebTorvo\TorvoShellMenu.dll' "$stage" || fail "the registration cannot be written as rows"
