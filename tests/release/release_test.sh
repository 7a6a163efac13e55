#!/usr/bin/env bash
# scripts/release.sh end to end, on build/release/ of BUILD_ROOT:
#   release_test.sh unsigned
#       without a certificate the script says that nothing is signed and succeeds; what it writes
#       is the stripped DLLs (x64, 32-bit and ARM64 below arm64/, at most 400 KB each), doctors and
#       movers (x64 and ARM64), their
#       symbols (found through the debug links), the package (laid out as Windows reads it), the
#       installers (x64 and ARM64) and matching checksums; the version it prints is the DLL's own and the
#       package's, whose publisher is the one for unsigned packages, and the package passes its
#       check
#   release_test.sh signed BIN WINE_RUN STAGE BIN32
#       with a throw-away certificate and key the signatures of the DLLs, the doctor, the mover,
#       the package and the installer verify, the DLLs' and the package's cover their files, the
#       signed package is still laid out as Windows reads it, its publisher is the certificate's
#       subject, the signed DLLs are still at most 400 KB, and each passes the server's end-to-end
#       group under Wine: wine_server.exe and the stand-in agent from BIN (from BIN32 for the
#       32-bit DLL) run beside it in STAGE
set -euo pipefail
mode=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$BUILD_ROOT/release
dll=$out/TorvoShellMenu.dll
dll32=$out/TorvoShellMenu32.dll
doctor=$out/torvo-doctor.exe
mover=$out/torvo-move.exe
packager=$out/torvo-package.exe
msix=$out/TorvoShellMenu.msix
arm64=$out/arm64
tools=x86_64-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in: $1"; }
# What ships of each DLL stays at most 400 KB.
small_enough() {
  for file in "$dll" "$dll32" "$arm64/TorvoShellMenu.dll"; do
    [ "$(stat -c %s "$file")" -le 400000 ] || fail "${file##*/} is $(stat -c %s "$file") bytes"
  done
}

# prints the script's output; when the script fails, its end first (where it says why; a log that is
# cut keeps its beginning) and the whole log kept in build/release-evidence/
run_release() {
  "$root/scripts/release.sh" >"$work/release.log" 2>&1 && { cat "$work/release.log"; return 0; }
  mkdir -p "$BUILD_ROOT/release-evidence" && cp "$work/release.log" "$BUILD_ROOT/release-evidence/release.log"
  { echo "release.sh failed; its last lines (all of it: $BUILD_ROOT/release-evidence/release.log):"
    grep -v '^\[[0-9]*/[0-9]*\] ' "$work/release.log" | tail -n 60; } >&2
  fail "release.sh failed"
}

# The version the script printed.
printed_version() { sed -nE 's/^TorvoShellMenu ([0-9.]+), build id .*/\1/p' <<<"$1"; }

# What every release holds, signed or not, given the script's output: every file with its checksum;
# prints the package check's line.
released_files() { (cd "$out" && LC_ALL=C find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
check_release_folder() {
  local version; version=$(printed_version "$1")
  local binaries="TorvoShellMenu.dll TorvoShellMenu.dll.debug TorvoShellMenu.msix"
  binaries="$binaries torvo-doctor.exe torvo-doctor.exe.debug torvo-move.exe torvo-move.exe.debug"
  binaries="$binaries torvo-package.exe torvo-package.exe.debug"
  local expected; expected=$( (echo SHA256SUMS deployment.csv "TorvoShellMenu-$version-x64.msi" "TorvoShellMenu-$version-arm64.msi" \
      "TorvoShellMenu-$version.spdx.json" \
      TorvoShellMenu32.dll TorvoShellMenu32.dll.debug $binaries; for b in $binaries; do echo "arm64/$b"; done) |
      tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ')
  [ "$(released_files)" = "$expected" ] || fail "build/release holds: $(released_files)"
  [ "$(cut -d' ' -f3 "$out/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ')" = "$(released_files | sed 's/SHA256SUMS //')" ] ||
      fail "SHA256SUMS does not list every file"
  (cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
  /usr/bin/python3 "$root/packaging/msix/check_msix.py" "$msix" || fail "the package does not pass its check"
  /usr/bin/python3 "$root/packaging/msix/check_msix.py" "$arm64/TorvoShellMenu.msix" ||
      fail "the ARM64 package does not pass its check"
}

# The thumbprint of the certificate that signed the file, read from its signature; "unsigned".
signer_thumbprint() {
  rm -f "$work/signature.der"  # osslsigncode writes no file that is there
  osslsigncode extract-signature -in "$1" -out "$work/signature.der" >/dev/null 2>&1 || { echo unsigned; return; }
  openssl pkcs7 -inform DER -in "$work/signature.der" -print_certs | openssl x509 -noout -fingerprint -sha1 |
      sed 's/.*=//; s/://g'
}

# The deployment sheet: one row per installer, its hash the one SHA256SUMS lists, its thumbprint the
# signer's as the installer's signature holds it, its codes and version those the installing guide
# shows (the docs check, given the sheet), the bill of materials' hash that bill's.
check_sheet() {
  local msi row hash thumbprint bill
  [ "$(head -n 1 "$out/deployment.csv")" = "file,architecture,ProductCode,UpgradeCode,ProductVersion,SHA-256,signer thumbprint,SBOM SHA-256" ] ||
      fail "deployment.csv's header is $(head -n 1 "$out/deployment.csv")"
  [ "$(wc -l <"$out/deployment.csv")" = 3 ] || fail "deployment.csv holds no row per installer: $(cat "$out/deployment.csv")"
  for msi in "$out"/*.msi; do
    row=$(grep "^${msi##*/}," "$out/deployment.csv") || fail "deployment.csv has no row for ${msi##*/}"
    IFS=, read -r _ _ _ _ _ hash thumbprint bill <<<"$row"
    [ "$hash" = "$(sha256sum "$msi" | cut -d' ' -f1)" ] || fail "deployment.csv's SHA-256 of ${msi##*/} is $hash"
    [ "$bill" = "$(sha256sum "$out"/*.spdx.json | cut -d' ' -f1)" ] || fail "deployment.csv's SBOM SHA-256 is $bill"
    [ "$thumbprint" = "$(signer_thumbprint "$msi")" ] || fail "deployment.csv's thumbprint of ${msi##*/} is $thumbprint"
  done
  /usr/bin/python3 "$root/tests/docs/check_guides.py" "$root" "$out/deployment.csv" >&2 ||
      fail "the installing guide's codes are not the deployment sheet's"
}

# The bill of materials passes its check (its schema, every file with its hash, each image's runtimes
# with their versions and licences, the tools), and the check fails, naming the file, on a copy of
# the release with one file changed.
check_bill() {
  local bill; bill=$(ls "$out"/*.spdx.json)
  /usr/bin/python3 "$root/packaging/sbom/check_sbom.py" "$out" "$bill" || fail "the bill of materials fails its check"
  cp -a "$out" "$work/changed-release"
  echo changed >>"$work/changed-release/torvo-move.exe"
  expect_in "$(! /usr/bin/python3 "$root/packaging/sbom/check_sbom.py" "$work/changed-release" "$bill" 2>&1)" \
      "torvo-move.exe is listed with SHA-256"
  grep -q '"versionInfo": "[0-9.]*' "$bill" && grep -q '"name": "libstdc++"' "$bill" && grep -q '"name": "libc++"' "$bill" ||
      fail "the bill names no runtime: $(head -c 400 "$bill")"
}

# The ARM64 files: native ARM64 images (machine 0xAA64) that import system DLLs only, and the ARM64
# installer with its summary's platform, every 64-bit component marked so, the package's own checks.
check_arm64_release() {
  local binary
  for binary in "$arm64/TorvoShellMenu.dll" "$arm64/torvo-doctor.exe" "$arm64/torvo-move.exe" "$arm64/torvo-package.exe"; do
    llvm-objdump-19 -f "$binary" | grep -q '^architecture: aarch64' || fail "${binary#$out/} is no ARM64 image"
  done
  sh "$root/cmake/check-imports.sh" llvm-objdump-19 "$arm64/TorvoShellMenu.dll" >/dev/null ||
      fail "the ARM64 DLL imports a DLL that is not part of Windows"
  local msi; msi=$(ls "$out"/TorvoShellMenu-*-arm64.msi)
  expect_in "$(msiinfo suminfo "$msi")" "Template: Arm64;1033"
  /usr/bin/python3 "$root/packaging/msi/package_tables.py" check "$msi" arm64 || fail "the ARM64 installer breaks its rules"
  ! /usr/bin/python3 "$root/packaging/msi/package_tables.py" check "$(ls "$out"/TorvoShellMenu-*-x64.msi)" arm64 2>/dev/null ||
      fail "the x64 installer passes as an ARM64 one"
  # Two products of one upgrade code (package_tables.py checks that the upgrade takes the same
  # version): installing either package over the other leaves one installation.
  local property codes
  for property in UpgradeCode ProductCode; do
    codes=$(for package in "$out"/*.msi; do
      msiinfo export "$package" Property | tr -d '\r' | awk -F'\t' -v p=$property '$1 == p { print $2 }'
    done | sort -u | wc -l)
    [ "$codes" = "$([ $property = UpgradeCode ] && echo 1 || echo 2)" ] || fail "the two installers have $codes ${property}s"
  done
}

# The signature of FILE verifies against the throw-away certificate.
check_signature() {
  local report
  report=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1) || fail "verify ${1##*/}: $report"
  expect_in "$report" "Signature verification: ok"
}

# The same, and with the byte at OFFSET changed it no longer does.
check_signature_covers() {
  local file=$1 offset=$2 changed=$work/changed.${1##*.}
  check_signature "$file"
  cp "$file" "$changed"
  printf "\\$(printf %03o $(( $(od -An -tu1 -j "$offset" -N1 "$file") ^ 255 )))" |
      dd of="$changed" bs=1 seek="$offset" conv=notrunc status=none
  ! osslsigncode verify -CAfile "$work/cert.pem" -in "$changed" >/dev/null 2>&1 || fail "a changed ${file##*/} still verifies"
}

if [ "$mode" = unsigned ]; then
  log=$(TORVO_SIGN_CERT= TORVO_SIGN_KEY= run_release)
  echo "$log"
  checked=$(check_release_folder "$log")
  check_sheet
  check_bill
  ! grep -q "WITHOUT A TIMESTAMP" <<<"$log" || fail "an unsigned release warns about a timestamp"
  small_enough
  check_arm64_release
  for file in "$dll" "$dll32" "$doctor" "$mover" "$packager" "$msix" "$out"/*.msi "$arm64"/*.dll "$arm64"/*.exe "$arm64"/*.msix; do
    expect_in "$log" "${file#$out/} is unsigned"
    ! osslsigncode verify -in "$file" >/dev/null 2>&1 || fail "the unsigned ${file##*/} carries a signature"
  done

  # Stripped, and the symbols are found through the debug link (whose checksum addr2line checks).
  for binary in "$dll" "$dll32" "$doctor" "$mover" "$packager" "$arm64"/*.dll "$arm64"/*.exe; do
    ! llvm-objdump-19 -h "$binary" | grep -q ' \.debug_' || fail "debug sections left in $binary"
    llvm-objdump-19 -h "$binary" | grep -q ' \.gnu_debuglink' || fail "no debug link in $binary"
  done
  # The 32-bit symbol of the __stdcall entry point carries its arguments' size.
  for pair in "$dll:x86_64-w64-mingw32-:DllGetClassObject" "$dll32:i686-w64-mingw32-:_DllGetClassObject@12" \
              "$arm64/TorvoShellMenu.dll:llvm-:DllGetClassObject"; do
    IFS=: read -r binary tool symbol <<<"$pair"
    suffix=; [ "$tool" != llvm- ] || suffix=-19
    address=$("${tool}nm$suffix" "$binary.debug" | awk -v s="$symbol" '$3 == s { print "0x" $1 }')
    [ -n "$address" ] || fail "no $symbol in the symbols of ${binary#$out/}"
    expect_in "$("${tool}addr2line$suffix" -f -e "$binary" "$address")" "server/class_objects.cpp"
  done

  # The printed version is the one the DLL's version record carries.
  printed=$(printed_version "$log")
  record=$("$tools-windres" -i "$dll" -O rc | sed -nE 's/^ *FILEVERSION ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+).*/\1.\2.\3.\4/p')
  [ -n "$printed" ] && [ "$printed" = "$record" ] || fail "printed version '$printed', the DLL's '$record'"
  for machine in x64 arm64; do
    expect_in "$checked" "ZebTorvo.TorvoShellMenu $printed $machine, publisher CN=ZebTorvo, OID.2.25.311729368913984317654407730594956997722=1,"
  done
  exit 0
fi

[ "$mode" = signed ] || fail "unknown mode $mode"
bin=$2 wine_run=$3 stage=$4 bin32=$5
subject="/CN=TorvoShellMenu throw-away signer"
openssl req -x509 -newkey rsa:2048 -days 2 -subj "$subject" -passout pass:throw-away \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
log=$(TORVO_SIGN_CERT=$work/cert.pem TORVO_SIGN_KEY=$work/key.pem TORVO_SIGN_PASS=throw-away \
      TORVO_SIGN_CA=$work/cert.pem run_release)
echo "$log"
checked=$(check_release_folder "$log")
expect_in "$checked" "publisher CN=TorvoShellMenu throw-away signer, 4 files in the block map, signed: ok"
check_sheet
# Signed without a timestamp server, the summary says so loudly.
expect_in "$log" "WARNING: signed WITHOUT A TIMESTAMP"
for file in "$dll" "$dll32" "$doctor" "$mover" "$packager" "$msix" "$out"/*.msi "$arm64"/*.dll "$arm64"/*.exe "$arm64"/*.msix; do
  expect_in "$log" "${file#$out/} signed by $subject, signature verified"
done
small_enough
for file in "$doctor" "$mover" "$packager" "$out"/*.msi "$arm64"/*.exe; do check_signature "$file"; done

# The signatures cover the code and the package: one byte changed in the DLL's .text, or in the
# package's first entry (the largest logo), and they no longer verify.
check_signature_covers "$dll" 1024
check_signature_covers "$dll32" 1024
check_signature_covers "$arm64/TorvoShellMenu.dll" 1024
check_signature_covers "$msix" 100

# The signed file itself, not a copy, beside the test program and the stand-in agent of its tree.
for pair in "$dll:$bin" "$dll32:$bin32"; do
  IFS=: read -r signed tree <<<"$pair"
  rm -rf "$stage" && mkdir -p "$stage"
  ln -s "$signed" "$stage/"
  ln -s "$tree/wine_server.exe" "$tree/zebtorvofloat.exe" "$stage/"
  "$wine_run" "$stage/wine_server.exe" --gtest_filter='Registrations/EndToEnd.*:Registration.*' </dev/null
done
