#!/usr/bin/env bash
# scripts/release.sh end to end, on build/release/ of BUILD_ROOT:
#   release_test.sh unsigned
#       without a certificate the script says that nothing is signed and succeeds; what it writes
#       is the stripped DLLs (64- and 32-bit, at most 400 KB each), doctor and mover, their
#       symbols (found through the debug links), the package (laid out as Windows reads it), the
#       installer and matching checksums; the version it prints is the DLL's own and the
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
msix=$out/TorvoShellMenu.msix
tools=x86_64-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in: $1"; }
# What ships of each DLL stays at most 400 KB.
small_enough() {
  for file in "$dll" "$dll32"; do
    [ "$(stat -c %s "$file")" -le 400000 ] || fail "${file##*/} is $(stat -c %s "$file") bytes"
  done
}

run_release() {  # prints the script's output; fails the test when the script fails
  "$root/scripts/release.sh" >"$work/release.log" 2>&1 || { cat "$work/release.log" >&2; fail "release.sh failed"; }
  cat "$work/release.log"
}

# The version the script printed.
printed_version() { sed -nE 's/^TorvoShellMenu ([0-9.]+), build id .*/\1/p' <<<"$1"; }

# What every release holds, signed or not, given the script's output: every file with its checksum;
# prints the package check's line.
check_release_folder() {
  local msi="TorvoShellMenu-$(printed_version "$1")-x64.msi"
  [ "$(LC_ALL=C ls "$out" | tr '\n' ' ')" = "SHA256SUMS $msi TorvoShellMenu.dll TorvoShellMenu.dll.debug \
TorvoShellMenu.msix TorvoShellMenu32.dll TorvoShellMenu32.dll.debug torvo-doctor.exe torvo-doctor.exe.debug \
torvo-move.exe torvo-move.exe.debug " ] ||
      fail "build/release holds: $(ls "$out")"
  [ "$(cut -d' ' -f3 "$out/SHA256SUMS" | sort | tr '\n' ' ')" = "$(ls "$out" | grep -vx SHA256SUMS | sort | tr '\n' ' ')" ] ||
      fail "SHA256SUMS does not list every file"
  (cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
  /usr/bin/python3 "$root/packaging/msix/check_msix.py" "$msix" || fail "the package does not pass its check"
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
  ! grep -q "WITHOUT A TIMESTAMP" <<<"$log" || fail "an unsigned release warns about a timestamp"
  small_enough
  for file in "$dll" "$dll32" "$doctor" "$mover" "$msix" "$out"/*.msi; do
    expect_in "$log" "${file##*/} is unsigned"
    ! osslsigncode verify -in "$file" >/dev/null 2>&1 || fail "the unsigned ${file##*/} carries a signature"
  done

  # Stripped, and the symbols are found through the debug link (whose checksum addr2line checks).
  for binary in "$dll" "$dll32" "$doctor" "$mover"; do
    ! "$tools-objdump" -h "$binary" | grep -q ' \.debug_' || fail "debug sections left in $binary"
    "$tools-objdump" -h "$binary" | grep -q ' \.gnu_debuglink' || fail "no debug link in $binary"
  done
  # The 32-bit symbol of the __stdcall entry point carries its arguments' size.
  for pair in "$dll:x86_64:DllGetClassObject" "$dll32:i686:_DllGetClassObject@12"; do
    IFS=: read -r binary machine symbol <<<"$pair"
    address=$("$machine-w64-mingw32-nm" "$binary.debug" | awk -v s="$symbol" '$3 == s { print "0x" $1 }')
    [ -n "$address" ] || fail "no $symbol in the symbols of ${binary##*/}"
    expect_in "$("$machine-w64-mingw32-addr2line" -f -e "$binary" "$address")" "server/class_objects.cpp"
  done

  # The printed version is the one the DLL's version record carries.
  printed=$(printed_version "$log")
  record=$("$tools-windres" -i "$dll" -O rc | sed -nE 's/^ *FILEVERSION ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+).*/\1.\2.\3.\4/p')
  [ -n "$printed" ] && [ "$printed" = "$record" ] || fail "printed version '$printed', the DLL's '$record'"
  expect_in "$checked" "ZebTorvo.TorvoShellMenu $printed x64, publisher CN=ZebTorvo, OID.2.25.311729368913984317654407730594956997722=1,"
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
# Signed without a timestamp server, the summary says so loudly.
expect_in "$log" "WARNING: signed WITHOUT A TIMESTAMP"
for file in "$dll" "$dll32" "$doctor" "$mover" "$msix" "$out"/*.msi; do
  expect_in "$log" "${file##*/} signed by $subject, signature verified"
done
small_enough
check_signature "$doctor"
check_signature "$mover"
check_signature "$out"/*.msi

# The signatures cover the code and the package: one byte changed in the DLL's .text, or in the
# package's first entry (the largest logo), and they no longer verify.
check_signature_covers "$dll" 1024
check_signature_covers "$dll32" 1024
check_signature_covers "$msix" 100

# The signed file itself, not a copy, beside the test program and the stand-in agent of its tree.
for pair in "$dll:$bin" "$dll32:$bin32"; do
  IFS=: read -r signed tree <<<"$pair"
  rm -rf "$stage" && mkdir -p "$stage"
  ln -s "$signed" "$stage/"
  ln -s "$tree/wine_server.exe" "$tree/zebtorvofloat.exe" "$stage/"
  "$wine_run" "$stage/wine_server.exe" --gtest_filter='Registrations/EndToEnd.*:Registration.*' </dev/null
done
