#!/usr/bin/env bash
# Builds the Release configuration of TorvoShellMenu.dll, torvo-doctor.exe and torvo-move.exe in a
# tree of its own (build/win-release), and of TorvoShellMenu32.dll in another (build/win32-release),
# and writes what a vendor ships to build/release/, and nothing else:
#   TorvoShellMenu.dll        stripped, with a GNU debug link to its symbols; signed when asked
#   TorvoShellMenu32.dll      the DLL for 32-bit programs (their Open and Save dialogs); the same
#   torvo-doctor.exe          the same
#   torvo-move.exe            the same: the Explorer command's move, in a process of its own
#   *.debug                   the symbols of each, for crash analysis; kept, not shipped to users
#   TorvoShellMenu.msix       the sparse package that puts the command on Windows 11's first menu;
#                             signed when asked, with the signer's subject as its publisher
#   TorvoShellMenu-<version>-x64.msi
#                             the per-machine installer of both DLLs, the doctor, the mover and
#                             the package (packaging/msi); signed when asked
#   SHA256SUMS                the checksums of all
# Signing (Authenticode, SHA-256) with osslsigncode when TORVO_SIGN_CERT and TORVO_SIGN_KEY name
# PEM files: TORVO_SIGN_PASS is the key's passphrase, TORVO_SIGN_TIMESTAMP the URL of an RFC 3161
# timestamp server (none without it), TORVO_SIGN_CA the CA certificates the signature is verified
# against after signing (default: the system's). Without a certificate nothing is signed.
set -euo pipefail
source "$(dirname "$0")/common.sh"

RELEASE_TREE=$BUILD_ROOT/win-release
RELEASE_TREE32=$BUILD_ROOT/win32-release
OUT=$BUILD_ROOT/release
DLL=TorvoShellMenu.dll
DLL32=TorvoShellMenu32.dll
DOCTOR=torvo-doctor.exe
MOVER=torvo-move.exe
MSIX=TorvoShellMenu.msix
PACKAGING=$ROOT/packaging/msix
# The publisher of an unsigned package: Windows 11 installs a package whose publisher holds this
# attribute without a signature (Add-AppxPackage -AllowUnsigned, as administrator), never one that
# claims to be a signed publisher's.
UNSIGNED_PUBLISHER="CN=ZebTorvo, OID.2.25.311729368913984317654407730594956997722=1"
OBJCOPY=x86_64-w64-mingw32-objcopy
OBJDUMP=x86_64-w64-mingw32-objdump

fail() { echo "release: $*" >&2; exit 1; }

# The version from the build's one source of it, e.g. 1.3.0.1001.
version() {
  awk '/^#define TORVO_VERSION_(MAJOR|MINOR|PATCH|BUILD) / { v = v (v == "" ? "" : ".") $3 } END { print v }' \
      "$RELEASE_TREE/resources/generated/torvo_version.h"
}

# The build id of a DLL: the GUID and age of its CodeView record, as crash dumps name the module.
build_id() {
  "$OBJDUMP" -p "$1" | sed -nE 's/.*format RSDS signature (.{8})(.{4})(.{4})(.{4})(.{12}) age ([0-9]+).*/{\U\1-\2-\3-\4-\5\E} age \6/p'
}

# Signs a file (a stripped binary, the sparse package, the installer) into a copy, verifies
# the signature and names the signer.
sign() {
  local unsigned=$1 signed=$2
  local args=(-certs "$TORVO_SIGN_CERT" -key "$TORVO_SIGN_KEY" -h sha256 -n "ZebTorvo Explorer context menu")
  if [ -n "${TORVO_SIGN_PASS:-}" ]; then  # from a file, to keep it off the process list
    (umask 077 && printf '%s' "$TORVO_SIGN_PASS" >"$work/pass")
    args+=(-readpass "$work/pass")
  fi
  [ -z "${TORVO_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$TORVO_SIGN_TIMESTAMP")
  osslsigncode sign "${args[@]}" -in "$unsigned" -out "$signed" >/dev/null || fail "signing failed"
  local verify=(-in "$signed")
  [ -z "${TORVO_SIGN_CA:-}" ] || verify+=(-CAfile "$TORVO_SIGN_CA")
  local report
  report=$(osslsigncode verify "${verify[@]}" 2>&1) || { echo "$report" >&2; fail "the signature does not verify"; }
  echo "${signed##*/} signed by $(echo "$report" | sed -n 's/^[[:space:]]*Subject: //p' | head -n 1), signature verified"
}

# Puts a file made in $work into the release: signed when a certificate is given, else as it is.
ship() {
  if [ -n "${TORVO_SIGN_CERT:-}" ]; then
    sign "$work/$1" "$work/out/$1"
  else
    cp "$work/$1" "$work/out/$1"
    echo "$1 is unsigned: set TORVO_SIGN_CERT and TORVO_SIGN_KEY to sign it"
  fi
  chmod 644 "$work/out/$1"
}

# Strips a built binary (of TREE, default the 64-bit release tree) into $work, its symbols into the
# release beside it; the debug link holds the symbol file's name and checksum, and debuggers look
# for it beside the binary.
strip_apart() {
  local built=${2:-$RELEASE_TREE}/bin/$1
  "$OBJCOPY" --only-keep-debug "$built" "$work/out/$1.debug"
  chmod 644 "$work/out/$1.debug"
  (cd "$work/out" && "$OBJCOPY" --strip-all --add-gnu-debuglink="$1.debug" "$built" "$work/$1")
}

# The installer of what the release holds: registry rows harvested from the shipped DLL's own
# registration in a clean prefix, then packaging/msi/build-msi.sh, which checks them in the package.
build_installer() {
  local stage=$RELEASE_TREE/msi msi=TorvoShellMenu-$(version)-x64.msi
  rm -rf "$stage" && mkdir -p "$stage"
  cp "$work/out/$DLL" "$work/out/$DLL32" "$work/out/$DOCTOR" "$work/out/$MOVER" "$stage/"
  [ ! -f "$work/out/$MSIX" ] || cp "$work/out/$MSIX" "$stage/"
  "$ROOT/packaging/msi/harvest.sh" "$stage" "$RELEASE_TREE" || fail "harvesting the registration failed"
  "$ROOT/packaging/msi/build-msi.sh" "$(version)" "$stage" "$work/$msi" || fail "building the installer failed"
  ship "$msi"
}

# The sparse package (packaging/msix), its version the DLL's and its publisher the signer's subject as
# Windows writes it; signed like the DLL; checked as Windows reads it before and after signing.
release_msix() {
  local packed=$work/$MSIX publisher=$UNSIGNED_PUBLISHER
  if [ -n "${TORVO_SIGN_CERT:-}" ]; then
    publisher=$("$PYTHON" "$PACKAGING/cert_publisher.py" "$TORVO_SIGN_CERT") || fail "no package publisher from the certificate"
  fi
  "$PYTHON" "$PACKAGING/pack_msix.py" --version "$(version)" --publisher "$publisher" --out "$packed" || fail "packing failed"
  "$PYTHON" "$PACKAGING/check_msix.py" "$packed" >/dev/null || fail "the package does not pass its check"
  if [ -n "${TORVO_SIGN_CERT:-}" ]; then
    sign "$packed" "$work/out/$MSIX"
  else
    cp "$packed" "$work/out/$MSIX"
    echo "$MSIX is unsigned: Windows installs it only with Add-AppxPackage -AllowUnsigned"
  fi
  "$PYTHON" "$PACKAGING/check_msix.py" "$work/out/$MSIX" || fail "the package does not pass its check"
}

if [ -n "${TORVO_SIGN_CERT:-}${TORVO_SIGN_KEY:-}" ]; then
  [ -n "${TORVO_SIGN_CERT:-}" ] && [ -n "${TORVO_SIGN_KEY:-}" ] || fail "TORVO_SIGN_CERT and TORVO_SIGN_KEY go together"
  [ -r "$TORVO_SIGN_CERT" ] && [ -r "$TORVO_SIGN_KEY" ] || fail "cannot read TORVO_SIGN_CERT or TORVO_SIGN_KEY"
fi
ensure_packages
[ -z "${TORVO_SIGN_CERT:-}" ] || ensure_msix_signer
rm -rf "$OUT"  # a run that fails leaves no release behind
configure_win_tree "$RELEASE_TREE" Release
cmake --build "$RELEASE_TREE" --target TorvoShellMenu "$DOCTOR" "$MOVER" hold_desktop
configure_win_tree "$RELEASE_TREE32" Release 32
cmake --build "$RELEASE_TREE32" --target TorvoShellMenu

# Everything is made in a folder of its own that becomes build/release/ only when complete.
work=$(mktemp -d "$BUILD_ROOT/release-work.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 755 "$work/out"
strip_apart "$DLL"
strip_apart "$DLL32" "$RELEASE_TREE32"
strip_apart "$DOCTOR"
strip_apart "$MOVER"

echo "TorvoShellMenu $(version), build id $(build_id "$work/$DLL")"
echo "$DLL32: build id $(build_id "$work/$DLL32")"
ship "$DLL"
ship "$DLL32"
ship "$DOCTOR"
ship "$MOVER"
release_msix
chmod 644 "$work/out/$MSIX"
build_installer
(cd "$work/out" && sha256sum -- $(ls | grep -vx SHA256SUMS) >SHA256SUMS)
mv "$work/out" "$OUT"

echo "${OUT#"$ROOT"/}/:"
for file in $(ls "$OUT"); do
  printf '  %-34s %9d bytes\n' "$file" "$(stat -c %s "$OUT/$file")"
done
if [ -n "${TORVO_SIGN_CERT:-}" ] && [ -z "${TORVO_SIGN_TIMESTAMP:-}" ]; then
  cat <<WARNING
WARNING: signed WITHOUT A TIMESTAMP (TORVO_SIGN_TIMESTAMP is not set). The signatures stop being
WARNING: valid when the certificate expires ($(openssl x509 -in "$TORVO_SIGN_CERT" -noout -enddate | sed 's/^notAfter=//')):
WARNING: from then on Windows refuses to add the package and warns about the DLL and the installer.
WARNING: Sign a release you ship with your CA's timestamp server.
WARNING
fi
