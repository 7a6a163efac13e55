#!/usr/bin/env bash
# harvest.sh STAGE TREE [MACHINE [ARM64_TREE]]
# Registers both DLLs of STAGE machine-wide in a clean Wine prefix of its own, each with its own
# regsvr32 (TorvoShellMenu.dll with the 64-bit one, TorvoShellMenu32.dll with the 32-bit one of
# syswow64), as installed in C:\Program Files\ZebTorvo, and turns what they wrote into the
# installer's rows: STAGE/registration.json, STAGE/registration.wxi and STAGE/registration32.wxi
# (registration_rows.py). What registration wrote must still be there after a restart of the
# registry (a volatile key would vanish with Windows' next start, and the item with it).
# BUILD_ROOT holds the prefix, which is made anew each time; TREE is the Windows build tree whose
# bin/hold_desktop.exe keeps Wine's desktop for the session. MACHINE arm64: TorvoShellMenu.dll is the
# ARM64 one, registered by the arm64 regsvr32 of emulated arm64 Wine in a prefix of its own, inside
# the fence of scripts/arm64-wine.sh, whose desktop ARM64_TREE's hold_desktop.exe keeps; its exports
# join the x64 prefix's, where the 32-bit DLL registers. Every Windows program starts through
# wine_run (scripts/wine_run.sh), an export's file its sign of life.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/common.sh"
stage=$1 tree=$2 machine=${3:-x64} arm64_tree=${4:-}
export WINEPREFIX=$BUILD_ROOT/harvest-prefix
folder='C:\Program Files\ZebTorvo'
arm64_prefix=$BUILD_ROOT/harvest-arm64-prefix

fail() { echo "harvest: $*" >&2; exit 1; }

# Exports both whole roots that registration may write to into C:\FOLDER, so that nothing it
# writes goes unseen; the ARM64 prefix's beside them.
export_roots() {
  mkdir -p "$WINEPREFIX/drive_c/$1"
  export_registry "C:\\$1\\machine.reg" HKEY_LOCAL_MACHINE
  export_registry "C:\\$1\\user.reg" HKEY_CURRENT_USER
  [ "$machine" = arm64 ] || return 0
  local root
  mkdir -p "$arm64_prefix/drive_c/$1"
  for root in machine:HKEY_LOCAL_MACHINE user:HKEY_CURRENT_USER; do
    rm -f "$arm64_prefix/drive_c/$1/arm64-${root%%:*}.reg"
    WINEPREFIX_ARM64=$arm64_prefix arm64_wine 600 --life "$arm64_prefix/drive_c/$1/arm64-${root%%:*}.reg" \
        regedit /E "C:\\$1\\arm64-${root%%:*}.reg" "${root#*:}" </dev/null || fail "cannot export the ARM64 prefix's registry"
  done
  cp "$arm64_prefix/drive_c/$1"/arm64-*.reg "$WINEPREFIX/drive_c/$1/"
}

# The ARM64 DLL's own registration: emulated arm64 Wine in a new prefix inside the fence.
register_arm64() {
  WINEPREFIX_ARM64=$arm64_prefix arm64_wine 600 'C:\windows\system32\regsvr32.exe' /s "$folder\\TorvoShellMenu.dll" </dev/null ||
      fail "the ARM64 regsvr32 failed"
}

fresh_prefix "$WINEPREFIX"
# The prefix is only needed for this run (about 700 MB). One server for the commands below.
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
persistent_wineserver
mkdir -p "$WINEPREFIX/drive_c/Program Files/ZebTorvo"
cp "$stage/TorvoShellMenu.dll" "$stage/TorvoShellMenu32.dll" "$WINEPREFIX/drive_c/Program Files/ZebTorvo/"
if [ "$machine" = arm64 ]; then
  source "$here/../../scripts/arm64-wine.sh"
  ARM64_FENCE=$ARM64_FENCE-harvest  # apart from the tests' fence
  ensure_arm64_wine_root && ensure_binfmt && arm64_fence_up || fail "no emulated arm64 Wine to register the ARM64 DLL"
  arm64_wine_env
  trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; arm64_fence_down; rm -rf "$WINEPREFIX" "$arm64_prefix"' EXIT
  fresh_arm64_prefix "$arm64_prefix" || fail "cannot make the ARM64 prefix"
  mkdir -p "$arm64_prefix/drive_c/Program Files/ZebTorvo"
  cp "$stage/TorvoShellMenu.dll" "$arm64_prefix/drive_c/Program Files/ZebTorvo/"
fi
# The first 32-bit program starts Wine's own 32-bit services, which count themselves in the volatile
# HKLM\System\CurrentControlSet\Control\ServiceCurrent: that happens before the first export.
start_services
# One desktop for the whole session, up before the first export (see tools/hold_desktop/hold_desktop.cpp).
hold_desktop "$tree" || fail "no desktop"
if [ "$machine" = arm64 ]; then
  [ -n "$arm64_tree" ] || fail "no ARM64 tree for the ARM64 prefix's desktop"
  WINEPREFIX_ARM64=$arm64_prefix hold_arm64_desktop "$arm64_tree" || fail "no desktop in the ARM64 prefix"
fi
export_roots before
if [ "$machine" = arm64 ]; then
  register_arm64
else
  wine_run 'C:\windows\system32\regsvr32.exe' /s "$folder\\TorvoShellMenu.dll" </dev/null || fail "regsvr32 failed"
fi
wine_run 'C:\windows\syswow64\regsvr32.exe' /s "$folder\\TorvoShellMenu32.dll" </dev/null ||
    fail "the 32-bit regsvr32 failed"
export_roots after
# The registry as the next start reads it: the server writes its hives and ends; a new one serves
# the exports.
wineserver -k 2>/dev/null || true
wineserver -w
persistent_wineserver
[ "$machine" != arm64 ] || WINEPREFIX=$arm64_prefix arm64_fenced 60 "$WINESERVER" -k 2>/dev/null || true
export_roots restarted
"$PYTHON" "$here/registration_rows.py" rows "$WINEPREFIX/drive_c/before" "$WINEPREFIX/drive_c/after" \
    "$WINEPREFIX/drive_c/restarted" "$folder" "$stage" || fail "the registration cannot be written as rows"
