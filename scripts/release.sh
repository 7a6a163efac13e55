#!/usr/bin/env bash
# Builds the Release configuration of TorvoShellMenu.dll, torvo-doctor.exe and torvo-move.exe in a
# tree of its own (build/win-release), and of TorvoShellMenu32.dll in another (build/win32-release),
# and writes what a vendor ships to build/release/, and nothing else:
#   TorvoShellMenu.dll        stripped, with a GNU debug link to its symbols; signed when asked
#   TorvoShellMenu32.dll      the DLL for 32-bit programs (their Open and Save dialogs); the same
#   torvo-doctor.exe          the same
#   torvo-move.exe            the same: the Explorer command's move, in a process of its own
#   torvo-package.exe         the same: Windows 11's package for every user (the installer's
#                             provisioning and removal, each user's sign-in step)
#   *.debug                   the symbols of each, for crash analysis; kept, not shipped to users
#   TorvoShellMenu.msix       the sparse package that puts the command on Windows 11's first menu;
#                             signed when asked, with the signer's subject as its publisher
#   TorvoShellMenu-<version>-x64.msi
#                             the per-machine installer of both DLLs, the doctor, the mover and
#                             the package (packaging/msi); signed when asked
#   arm64/                    the same DLL, doctor, mover (with their symbols) and package for
#                             Windows on ARM, built in build/arm64-release (scripts/arm64-sysroot.sh)
#   TorvoShellMenu-<version>.spdx.json
#                             the bill of materials (SPDX 2.3): every file above with its hashes, the
#                             runtime components linked into each image with their versions and
#                             licences, the tools that made the packages
#   deployment.csv            one row per installer: file, architecture, ProductCode, UpgradeCode,
#                             ProductVersion, SHA-256, signer's thumbprint, the bill's SHA-256
#   TorvoShellMenu-<version>-arm64.msi
#                             the installer for Windows on ARM: the ARM64 DLL, doctor, mover and
#                             package, and TorvoShellMenu32.dll; its rows harvested from the ARM64
#                             DLL's own registration under emulated arm64 Wine
#   SHA256SUMS                the checksums of all
# Signing (Authenticode, SHA-256) with osslsigncode when TORVO_SIGN_CERT and TORVO_SIGN_KEY name
# PEM files: TORVO_SIGN_PASS is the key's passphrase, TORVO_SIGN_TIMESTAMP the URL of an RFC 3161
# timestamp server (none without it), TORVO_SIGN_CA the CA certificates the signature is verified
# against after signing (default: the system's). Without a certificate nothing is signed.
#
# release.sh --verify FOLDER
#   checks that FOLDER (a release of this commit, e.g. one downloaded) is what this commit builds:
#   clones the commit into a fresh folder, builds its release there without the compiler cache (the
#   same signing variables give the same signatures), and compares every file of both, naming each
#   file that differs with its first differing offset and what lies there (packaging/release/
#   compare_release.py). With TORVO_SIGN_TIMESTAMP set, signed files are compared with their
#   signatures removed: a timestamp server's countersignature carries the time it was asked.
#   The rebuilt release stays in build/verify/ for a closer look. Exits 0 when every file is the same.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$ROOT/packaging/msi/harvest_cache.sh"

# --verify FOLDER: the commit's release built again in a fresh clone and compared with FOLDER.
verify_release() {
  local expected=$1 commit clone compare=()
  [ -d "$expected" ] || { echo "release: no release folder $expected" >&2; exit 2; }
  expected=$(cd "$expected" && pwd)
  commit=$(git -C "$ROOT" rev-parse HEAD)
  [ -z "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ] ||
      echo "release: the working tree has changes; the commit $commit is what is built"
  clone=$BUILD_ROOT/verify/clone
  rm -rf "$BUILD_ROOT/verify" && mkdir -p "$BUILD_ROOT/verify"
  git clone -q --no-hardlinks "$ROOT" "$clone" && git -C "$clone" checkout -q --detach "$commit"
  echo "release: building $commit again in $clone"
  env -u BUILD_ROOT CCACHE_DISABLE=1 "$clone/scripts/release.sh" >"$BUILD_ROOT/verify/release.log" 2>&1 ||
      { tail -n 40 "$BUILD_ROOT/verify/release.log" >&2; echo "release: the rebuild failed" >&2; exit 1; }
  [ -z "${TORVO_SIGN_TIMESTAMP:-}" ] || compare=(--unsigned)
  "$PYTHON" "$ROOT/packaging/release/compare_release.py" "$expected" "$clone/build/release" "${compare[@]}"
}
if [ "${1:-}" = --verify ]; then
  [ $# = 2 ] || { echo "usage: release.sh [--verify FOLDER]" >&2; exit 2; }
  ensure_packages
  verify_release "$2"
  exit
fi

RELEASE_TREE=$BUILD_ROOT/win-release
RELEASE_TREE32=$BUILD_ROOT/win32-release
RELEASE_TREE_ARM64=$BUILD_ROOT/arm64-release
OUT=$BUILD_ROOT/release
DLL=TorvoShellMenu.dll
DLL32=TorvoShellMenu32.dll
DOCTOR=torvo-doctor.exe
MOVER=torvo-move.exe
PACKAGER=torvo-package.exe
MSIX=TorvoShellMenu.msix
PACKAGING=$ROOT/packaging/msix
# The publisher of an unsigned package: Windows 11 installs a package whose publisher holds this
# attribute without a signature (Add-AppxPackage -AllowUnsigned, as administrator), never one that
# claims to be a signed publisher's.
UNSIGNED_PUBLISHER="CN=ZebTorvo, OID.2.25.311729368913984317654407730594956997722=1"
OBJCOPY=x86_64-w64-mingw32-objcopy
OBJDUMP=x86_64-w64-mingw32-objdump
# GNU binutils read no ARM64 image; LLVM's tools read every one.
OBJCOPY_ARM64=llvm-objcopy-19

fail() { echo "release: $*" >&2; exit 1; }

# The version from the build's one source of it, e.g. 1.3.0.1001.
version() {
  awk '/^#define TORVO_VERSION_(MAJOR|MINOR|PATCH|BUILD) / { v = v (v == "" ? "" : ".") $3 } END { print v }' \
      "$RELEASE_TREE/resources/generated/torvo_version.h"
}

# The build id of a DLL: the GUID and age of its CodeView record, as crash dumps name the module.
build_id() {
  if [ "$(od -An -tx1 -j "$(($(od -An -tu4 -j 60 -N4 "$1") + 4))" -N2 "$1" | tr -d ' ')" = 64aa ]; then
    llvm-readobj-19 --coff-debug-directory "$1" | sed -nE 's/^ *PDBGUID: \{?([0-9A-Fa-f-]{36})\}?.*/{\U\1\E}/p; s/^ *PDBAge: ([0-9]+).*/age \1/p' |
        paste -sd' '
  else
    "$OBJDUMP" -p "$1" | sed -nE 's/.*format RSDS signature (.{8})(.{4})(.{4})(.{4})(.{12}) age ([0-9]+).*/{\U\1-\2-\3-\4-\5\E} age \6/p'
  fi
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
  # The signing time is the release's; a timestamp server's countersignature carries its own.
  args+=(-time "$SOURCE_DATE_EPOCH")
  [ -z "${TORVO_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$TORVO_SIGN_TIMESTAMP")
  osslsigncode sign "${args[@]}" -in "$unsigned" -out "$signed" >/dev/null || fail "signing failed"
  # A package's signature entry carries the time it was added: the release's, like every entry.
  [[ "$signed" != *.msix ]] || "$PYTHON" "$PACKAGING/entry_times.py" "$signed" "$SOURCE_DATE_EPOCH" ||
      fail "the signed package's entry times cannot be set"
  local report
  report=$(verified_signature "$signed")
  echo "${signed#"$work/out/"} signed by $(echo "$report" | sed -n 's/^[[:space:]]*Subject: //p' | head -n 1), signature verified"
}

# The report of osslsigncode verify on a signed file; fails when the signature does not verify.
verified_signature() {
  local verify=(-in "$1") report
  [ -z "${TORVO_SIGN_CA:-}" ] || verify+=(-CAfile "$TORVO_SIGN_CA")
  report=$(osslsigncode verify "${verify[@]}" 2>&1) || { echo "$report" >&2; fail "the signature does not verify"; }
  echo "$report"
}

# Puts a file made in $work into the release (a path below it: arm64/TorvoShellMenu.dll): signed when
# a certificate is given, else as it is.
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
# for it beside the binary. With SUBDIR (arm64) both go below the release's folder of that name.
strip_apart() {
  local tree=${2:-$RELEASE_TREE} sub=${3:-} objcopy=$OBJCOPY
  local built=$tree/bin/$1 name=${3:+$3/}$1
  [ "$tree" != "$RELEASE_TREE_ARM64" ] || objcopy=$OBJCOPY_ARM64
  mkdir -p "$work/out/$sub" "$work/$sub" && chmod 755 "$work/out/$sub"
  "$objcopy" --only-keep-debug "$built" "$work/out/$name.debug"
  chmod 644 "$work/out/$name.debug"
  (cd "$work/out/$sub" && "$objcopy" --strip-all --add-gnu-debuglink="$1.debug" "$built" "$work/$name")
}

# The installer of what the release holds for MACHINE (x64, the default, or arm64): registry rows
# harvested from the shipped DLL's own registration in a clean prefix (or kept from the harvest of
# the same unsigned DLLs, packaging/msi/harvest_cache.sh), then packaging/msi/build-msi.sh, which
# checks them in the package.
build_installer() {
  local machine=${1:-x64} tree=$RELEASE_TREE from=$work/out
  [ "$machine" = x64 ] || { tree=$RELEASE_TREE_ARM64 from=$work/out/arm64; }
  local stage=$tree/msi msi=TorvoShellMenu-$(version)-$machine.msi
  rm -rf "$stage" && mkdir -p "$stage"
  cp "$from/$DLL" "$work/out/$DLL32" "$from/$DOCTOR" "$from/$MOVER" "$from/$PACKAGER" "$stage/"
  [ ! -f "$from/$MSIX" ] || cp "$from/$MSIX" "$stage/"
  # The x64 release tree's hold_desktop.exe holds the x64 prefix's desktop in both harvests, the
  # ARM64 one's the ARM64 prefix's. The harvest's key names the DLLs as built: what stripping and
  # signing make of them registers alike, and stripping stamps the time into each copy.
  cached_harvest "$BUILD_ROOT/harvest-cache" "$(harvest_key "$machine" "$tree/bin/$DLL" "$RELEASE_TREE32/bin/$DLL32")" "$stage" \
      "$ROOT/packaging/msi/harvest.sh" "$stage" "$RELEASE_TREE" "$machine" "$RELEASE_TREE_ARM64" ||
      fail "harvesting the registration failed"
  "$ROOT/packaging/msi/build-msi.sh" "$(version)" "$stage" "$work/$msi" "$machine" || fail "building the installer failed"
  ship "$msi"
}

# The sparse package (packaging/msix) for MACHINE (x64, the default, or arm64, then below arm64/), its
# version the DLL's and its publisher the signer's subject as Windows writes it; signed like the DLL;
# checked as Windows reads it before and after signing.
release_msix() {
  local machine=${1:-x64} name=$MSIX
  [ "$machine" = x64 ] || name=$machine/$MSIX
  local packed=$work/$name publisher=$UNSIGNED_PUBLISHER
  if [ -n "${TORVO_SIGN_CERT:-}" ]; then
    publisher=$("$PYTHON" "$PACKAGING/cert_publisher.py" "$TORVO_SIGN_CERT") || fail "no package publisher from the certificate"
  fi
  "$PYTHON" "$PACKAGING/pack_msix.py" --version "$(version)" --publisher "$publisher" --arch "$machine" --out "$packed" ||
      fail "packing failed"
  "$PYTHON" "$PACKAGING/check_msix.py" "$packed" >/dev/null || fail "the package does not pass its check"
  if [ -n "${TORVO_SIGN_CERT:-}" ]; then
    sign "$packed" "$work/out/$name"
  else
    cp "$packed" "$work/out/$name"
    echo "$name is unsigned: Windows installs it only with Add-AppxPackage -AllowUnsigned"
  fi
  "$PYTHON" "$PACKAGING/check_msix.py" "$work/out/$name" || fail "the package does not pass its check"
  chmod 644 "$work/out/$name"
}

# The bill of materials (packaging/sbom): every shipped file with its hashes, and each image's
# statically linked runtime components, read from its link map and the machine's Debian packages.
bill_of_materials() {
  local sysroot images=() image tree
  sysroot=$(sed -n 's/^TORVO_ARM64_SYSROOT:PATH=//p' "$RELEASE_TREE_ARM64/CMakeCache.txt")
  for image in "$DLL:TorvoShellMenu" "$DOCTOR:torvo-doctor" "$MOVER:torvo-move" "$PACKAGER:torvo-package"; do
    images+=("${image%%:*}=$RELEASE_TREE/maps/${image#*:}.map" "arm64/${image%%:*}=$RELEASE_TREE_ARM64/maps/${image#*:}.map")
  done
  images+=("$DLL32=$RELEASE_TREE32/maps/TorvoShellMenu.map")
  for tree in "$RELEASE_TREE" "$RELEASE_TREE32" "$RELEASE_TREE_ARM64"; do images+=(--tree "$tree"); done
  "$PYTHON" "$ROOT/packaging/sbom/make_sbom.py" "$work/out" "$(version)" "$SOURCE_DATE_EPOCH" "$work/out/$SBOM" \
      "${images[@]}" --sysroot "$sysroot" || fail "the bill of materials cannot be written"
  chmod 644 "$work/out/$SBOM"
  "$PYTHON" "$ROOT/packaging/sbom/check_sbom.py" "$work/out" "$work/out/$SBOM" || fail "the bill of materials breaks its check"
}

# The deployment sheet: one row per installer with what a deployment tool's rules are made of, read
# from the built packages themselves; the thumbprint is the signer's certificate's SHA-1, as Windows
# shows it; the last column the bill of materials' SHA-256.
deployment_sheet() {
  local thumbprint=unsigned msi bill
  [ -z "${TORVO_SIGN_CERT:-}" ] ||
      thumbprint=$(openssl x509 -in "$TORVO_SIGN_CERT" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
  bill=$(sha256sum "$work/out/$SBOM" | cut -d' ' -f1)
  echo "file,architecture,ProductCode,UpgradeCode,ProductVersion,SHA-256,signer thumbprint,SBOM SHA-256"
  for machine in x64 arm64; do
    msi=TorvoShellMenu-$(version)-$machine.msi
    msiinfo export "$work/out/$msi" Property | tr -d '\r' | awk -F'\t' -v file="$msi" -v machine="$machine" \
        -v sha="$(sha256sum "$work/out/$msi" | cut -d' ' -f1)" -v thumbprint="$thumbprint" -v bill="$bill" '
      { value[$1] = $2 }
      END { printf "%s,%s,%s,%s,%s,%s,%s,%s\n", file, machine, value["ProductCode"], value["UpgradeCode"],
                   value["ProductVersion"], sha, thumbprint, bill }'
  done
}

if [ -n "${TORVO_SIGN_CERT:-}${TORVO_SIGN_KEY:-}" ]; then
  [ -n "${TORVO_SIGN_CERT:-}" ] && [ -n "${TORVO_SIGN_KEY:-}" ] || fail "TORVO_SIGN_CERT and TORVO_SIGN_KEY go together"
  [ -r "$TORVO_SIGN_CERT" ] && [ -r "$TORVO_SIGN_KEY" ] || fail "cannot read TORVO_SIGN_CERT or TORVO_SIGN_KEY"
fi
ensure_packages
[ -z "${TORVO_SIGN_CERT:-}" ] || ensure_msix_signer
rm -rf "$OUT"  # a run that fails leaves no release behind
# One time for everything that stamps one: the linkers, objcopy, the installer, the package's
# entries and the signatures all record the commit's.
export SOURCE_DATE_EPOCH TZ=UTC
SOURCE_DATE_EPOCH=$(source_date_epoch)
# Configures a release tree (TREE, then configure_win_tree's build argument) for this release's time,
# compiled without the compiler cache (cmake/torvo.cmake says why).
configure_release_tree() {
  configure_win_tree "$1" Release "${2:-}" &&
      cmake -S "$ROOT" -B "$1" -DTORVO_SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" -DTORVO_COMPILER_CACHE=OFF >/dev/null
}
configure_release_tree "$RELEASE_TREE"
cmake --build "$RELEASE_TREE" --target TorvoShellMenu "$DOCTOR" "$MOVER" torvo-package hold_desktop
configure_release_tree "$RELEASE_TREE32" 32
cmake --build "$RELEASE_TREE32" --target TorvoShellMenu
configure_release_tree "$RELEASE_TREE_ARM64" arm64
cmake --build "$RELEASE_TREE_ARM64" --target TorvoShellMenu "$DOCTOR" "$MOVER" torvo-package hold_desktop

# Everything is made in a folder of its own that becomes build/release/ only when complete.
work=$(mktemp -d "$BUILD_ROOT/release-work.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 755 "$work/out"
strip_apart "$DLL"
strip_apart "$DLL32" "$RELEASE_TREE32"
strip_apart "$DOCTOR"
strip_apart "$MOVER"
strip_apart "$PACKAGER"
for binary in "$DLL" "$DOCTOR" "$MOVER" "$PACKAGER"; do strip_apart "$binary" "$RELEASE_TREE_ARM64" arm64; done

echo "TorvoShellMenu $(version), build id $(build_id "$work/$DLL")"
echo "$DLL32: build id $(build_id "$work/$DLL32")"
echo "arm64/$DLL: build id $(build_id "$work/arm64/$DLL")"
for file in "$DLL" "$DLL32" "$DOCTOR" "$MOVER" "$PACKAGER" "arm64/$DLL" "arm64/$DOCTOR" "arm64/$MOVER" "arm64/$PACKAGER"; do
  ship "$file"
done
release_msix
release_msix arm64
build_installer
build_installer arm64
SBOM=TorvoShellMenu-$(version).spdx.json
bill_of_materials
deployment_sheet >"$work/out/deployment.csv" && chmod 644 "$work/out/deployment.csv"
(cd "$work/out" && sha256sum -- $(find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort) >SHA256SUMS)
mv "$work/out" "$OUT"

echo "${OUT#"$ROOT"/}/:"
for file in $(cd "$OUT" && find . -type f | sed 's|^\./||' | sort); do
  printf '  %-40s %9d bytes\n' "$file" "$(stat -c %s "$OUT/$file")"
done
if [ -n "${TORVO_SIGN_CERT:-}" ] && [ -z "${TORVO_SIGN_TIMESTAMP:-}" ]; then
  cat <<WARNING
WARNING: signed WITHOUT A TIMESTAMP (TORVO_SIGN_TIMESTAMP is not set). The signatures stop being
WARNING: valid when the certificate expires ($(openssl x509 -in "$TORVO_SIGN_CERT" -noout -enddate | sed 's/^notAfter=//')):
WARNING: from then on Windows refuses to add the package and warns about the DLL and the installer.
WARNING: Sign a release you ship with your CA's timestamp server.
WARNING
fi
