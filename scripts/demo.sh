#!/usr/bin/env bash
# The demonstration: builds the DLL, registers it in a Wine prefix of its own, starts the stand-in
# agent with the vault drive V: mapped to a folder under the build tree, and lets the explorer-like
# host build the context menu of a sample file and choose the item: once with the agent ready (the
# file arrives in the vault), once for a large file moved into a vault on a tmpfs (InvokeCommand
# returns long before the move ends), once with the agent not ready (the agent is started with the
# list).
set -euo pipefail
source "$(dirname "$0")/common.sh"

export WINEPREFIX=$BUILD_ROOT/demo-prefix
VAULT_HOST=$BUILD_ROOT/demo-vault
SHM_VAULT_HOST=$SHM_VAULT_HOST-demo
FILES=$BUILD_ROOT/demo-files
export TORVO_AGENT_LOG="Z:${BUILD_ROOT//\//\\}\\demo-agent.log"
BIN=$WIN/bin

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
