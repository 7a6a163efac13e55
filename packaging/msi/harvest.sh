#!/usr/bin/env bash
# harvest.sh DLL STAGE
# Registers DLL with regsvr32 (machine-wide) in a clean Wine prefix of its own, as
# C:\Program Files\ZebTorvo\TorvoShellMenu.dll, and turns what it wrote into the installer's rows:
# STAGE/registration.json and STAGE/registration.wxi (registration_rows.py). What registration wrote
# must still be there after a restart of the registry (a volatile key would vanish with Windows'
# next start, and the item with it). BUILD_ROOT holds the prefix, which is made anew each time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/common.sh"
dll=$1 stage=$2
export WINEPREFIX=$BUILD_ROOT/harvest-prefix
installed='C:\Program Files\ZebTorvo\TorvoShellMenu.dll'

fail() { echo "harvest: $*" >&2; exit 1; }

# Exports both whole roots that registration may write to into C:\FOLDER, so that nothing it
# writes goes unseen.
export_roots() {
  mkdir -p "$WINEPREFIX/drive_c/$1"
  export_registry "C:\\$1\\machine.reg" HKEY_LOCAL_MACHINE
  export_registry "C:\\$1\\user.reg" HKEY_CURRENT_USER
}

fresh_prefix "$WINEPREFIX"
# The prefix is only needed for this run (about 700 MB). One server for the commands below.
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
persistent_wineserver
mkdir -p "$WINEPREFIX/drive_c/Program Files/ZebTorvo"
cp "$dll" "$WINEPREFIX/drive_c/Program Files/ZebTorvo/TorvoShellMenu.dll"
export_roots before
wine regsvr32 /s "$installed" || fail "regsvr32 failed"
export_roots after
# The registry as the next start reads it: the server writes its hives and ends; a new one serves
# the exports.
wineserver -k 2>/dev/null || true
wineserver -w
persistent_wineserver
export_roots restarted
"$PYTHON" "$here/registration_rows.py" rows "$WINEPREFIX/drive_c/before" "$WINEPREFIX/drive_c/after" \
    "$WINEPREFIX/drive_c/restarted" "$installed" "$stage" || fail "the registration cannot be written as rows"
