#!/usr/bin/env bash
# The demonstration: builds the DLL, registers it in a Wine prefix of its own, starts the stand-in
# agent with the vault drive V: mapped to a folder under the build tree, and lets the explorer-like
# host build the context menu of a sample file and choose the item: once with the agent ready (the
# file arrives in the vault), once for a large file moved into a vault on a tmpfs (InvokeCommand
# returns long before the move ends), once with the agent not ready (the agent is started with the
# list).
# At the end, torvo-doctor reports on a healthy registration and on one with a value deleted.
set -euo pipefail
source "$(dirname "$0")/common.sh"

export WINEPREFIX=$BUILD_ROOT/demo-prefix
VAULT_HOST=$BUILD_ROOT/demo-vault
SHM_VAULT_HOST=$SHM_VAULT_HOST-demo
FILES=$BUILD_ROOT/demo-files
export TORVO_AGENT_LOG="Z:${BUILD_ROOT//\//\\}\\demo-agent.log"
BIN=$WIN/bin
# The demonstration runs each program as a user would, once: Wine's 64-bit loader.
wine() { "$WINE64" "$@"; }

ensure_packages
build_all
prepare_prefix
start_wineserver

winpath() { echo "Z:${1//\//\\}"; }
step() { printf '\n== %s\n' "$*"; }
agent() { wine "$BIN/zebtorvofloat.exe" "$@" </dev/null >/dev/null 2>&1 & sleep 1; }

rm -rf "$VAULT_HOST"/* "$FILES" "$BUILD_ROOT/demo-agent.log"
mkdir -p "$FILES"
echo "quarterly figures" > "$FILES/report.doc"
echo "holiday plans" > "$FILES/plans.txt"

step "regsvr32 TorvoShellMenu.dll"
wine regsvr32 /s "$(winpath "$BIN/TorvoShellMenu.dll")" && echo "registered"

step "agent running and ready, vault on V: ($VAULT_HOST)"
agent /ready:1 /drive:V
wine "$BIN/torvo_host.exe" /invoke "$(winpath "$FILES/report.doc")"
echo "vault now holds:"; ls -l "$VAULT_HOST"
echo "sample folder now holds:"; ls "$FILES"

step "a large move: 512 MiB into a vault on another file system (S: on a tmpfs), on a thread of its own"
wine "$BIN/zebtorvofloat.exe" /quit </dev/null >/dev/null 2>&1 || true
rm -f "$SHM_VAULT_HOST/video.mkv"
truncate -s 512M "$FILES/video.mkv"
agent /ready:1 /drive:S
wine "$BIN/torvo_host.exe" /invoke "$(winpath "$FILES/video.mkv")" | grep InvokeCommand
echo "vault S: now holds:"; ls -l "$SHM_VAULT_HOST"
rm -f "$SHM_VAULT_HOST/video.mkv"

step "agent running but not ready: the handler starts zebtorvofloat.exe /_loginmove with a list file"
wine "$BIN/zebtorvofloat.exe" /quit </dev/null >/dev/null 2>&1 || true
agent /ready:0 /drive:V
wine "$BIN/torvo_host.exe" /invoke "$(winpath "$FILES/plans.txt")"
sleep 2
echo "what the agent received:"; cat "$BUILD_ROOT/demo-agent.log"

step "the item is left out for a file already in the vault"
wine "$BIN/torvo_host.exe" "V:\\report.doc"

wine "$BIN/zebtorvofloat.exe" /quit </dev/null >/dev/null 2>&1 || true
step "regsvr32 /u TorvoShellMenu.dll"
wine regsvr32 /s /u "$(winpath "$BIN/TorvoShellMenu.dll")" && echo "unregistered"

# ---- Pictures of the real menu ----------------------------------------------------------------
# The host opens the context menu with TrackPopupMenu on a virtual X display (Xvfb), with Wine's X11
# driver in the demo prefix, and writes the picture of the open menu's window as PNG: once for a
# sample file (the item among the ordinary ones), once for a file already on the vault drive (no
# item). The test prefix keeps the null driver; this prefix goes back to it at the end.
PICTURES=$BUILD_ROOT/demo

# Selects Wine's graphics driver of the demo prefix (x11 or null) and restarts its wineserver. While
# the prefix is on x11 it is not marked ready, so that a run that stops half-way leaves a prefix that
# the next run makes afresh.
use_graphics_driver() {
  rm -f "$WINEPREFIX/.torvo-ready"
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$1" /f >/dev/null 2>&1
  wineserver -k; wineserver -w
  wineserver -p 2>/dev/null || true
  wine cmd /c exit </dev/null >/dev/null 2>&1
  if [ "$1" = null ]; then touch "$WINEPREFIX/.torvo-ready"; fi
}

# The screen's scale for the programs started from now on: 96 is 100 %, 192 is 200 %.
use_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  use_graphics_driver x11
}

# The menu's Chinese text needs a CJK font: Tahoma and the dialog fonts fall back to WenQuanYi.
link_cjk_font() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' face
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    wine reg add "$key" /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
}

# Starts Xvfb on a free display and exports DISPLAY; the display is ended with the script.
start_virtual_display() {
  local number_file=$PICTURES/.display previous
  rm -f "$number_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" </dev/null >/dev/null 2>&1 &
  local pid=$!
  previous=$(trap -p EXIT)
  eval "set -- ${previous#trap -- }"
  trap "${1:-true}; kill $pid 2>/dev/null || true" EXIT
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  [ -s "$number_file" ] || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=:$(head -n1 "$number_file")
  rm -f "$number_file"
}

make_menu_pictures() {
  step "pictures of the real menu, drawn by the platform on a virtual X display"
  PACKAGES="xvfb fonts-wqy-microhei" ensure_packages
  mkdir -p "$PICTURES"
  rm -f "$PICTURES"/menu*.png
  start_virtual_display
  link_cjk_font
  use_graphics_driver x11
  echo "quarterly figures" > "$FILES/report.doc"
  echo "signed contract" > "$VAULT_HOST/contract.doc"
  wine regsvr32 /s "$(winpath "$BIN/TorvoShellMenu.dll")"
  agent /ready:1 /drive:V
  wine "$BIN/torvo_host.exe" "/picture:$(winpath "$PICTURES/menu.png")" "$(winpath "$FILES/report.doc")" | tail -n1
  wine "$BIN/torvo_host.exe" "/picture:$(winpath "$PICTURES/menu-vault-drive.png")" 'V:\contract.doc' | tail -n1
  # The same menu at 200 %: the padlock is drawn at 32 pixels, with its alpha over the menu's ground.
  use_dpi 192
  wine "$BIN/torvo_host.exe" "/picture:$(winpath "$PICTURES/menu-192dpi.png")" "$(winpath "$FILES/report.doc")" | tail -n1
  use_dpi 96
  wine "$BIN/zebtorvofloat.exe" /quit </dev/null >/dev/null 2>&1 || true
  wine regsvr32 /s /u "$(winpath "$BIN/TorvoShellMenu.dll")"
  use_graphics_driver null
  echo "written: $PICTURES/menu.png (a file's menu with the item)"
  echo "         $PICTURES/menu-vault-drive.png (a file on the vault drive: no item)"
  echo "         $PICTURES/menu-192dpi.png (a file's menu at 200 %)"
  echo "the README shows copies of them: cp $PICTURES/menu*.png $ROOT/docs/"
}

make_menu_pictures

# ---- torvo-doctor ----------------------------------------------------------------------------
# "Why doesn't the item show?" answered in one command: once on a healthy registration, once after
# one value of it (ThreadingModel) has been deleted.
doctor() {  # doctor ARGS...: the report and the exit code
  local rc=0
  wine "$BIN/torvo-doctor.exe" "$@" </dev/null || rc=$?
  echo "(exit code $rc)"
}
step "torvo-doctor on a healthy registration"
wine regsvr32 /s "$(winpath "$BIN/TorvoShellMenu.dll")" && echo "registered again"
doctor "$(winpath "$FILES/plans.txt")" 'C:\windows\system32'

step "torvo-doctor after ThreadingModel has been deleted from the registration"
wine reg delete 'HKLM\Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\InprocServer32' \
    /v ThreadingModel /f >/dev/null 2>&1 && echo "ThreadingModel deleted"
doctor

wine regsvr32 /s /u "$(winpath "$BIN/TorvoShellMenu.dll")" && echo "unregistered"
