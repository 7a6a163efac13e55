#!/usr/bin/env bash
# scripts/release.sh end to end, on build/release/ of BUILD_ROOT:
#   release_test.sh unsigned
#       without a certificate the script says that nothing is signed and succeeds; what it writes
#       is the stripped DLL and doctor, their symbols (found through the debug links), the
#       installer and matching checksums, and the version it prints is the DLL's own
#   release_test.sh signed BIN WINE_RUN STAGE
#       with a throw-away certificate and key the DLL's, the doctor's and the installer's
#       signatures verify, the DLL's covers the file, and that very file passes the server's
#       end-to-end group under Wine: wine_server.exe and the stand-in agent from BIN run beside it
#       in STAGE
set -euo pipefail
mode=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$BUILD_ROOT/release
dll=$out/TorvoShellMenu.dll
doctor=$out/torvo-doctor.exe
tools=x86_64-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in: $1"; }

run_release() {  # prints the script's output; fails the test when the script fails
  "$root/scripts/release.sh" >"$work/release.log" 2>&1 || { cat "$work/release.log" >&2; fail "release.sh failed"; }
  cat "$work/release.log"
}

# The version the script printed.
printed_version() { sed -nE 's/^TorvoShellMenu ([0-9.]+), build id .*/\1/p' <<<"$1"; }

# What every release holds, signed or not, given the script's output; every file has its checksum.
check_release_folder() {
  local msi="TorvoShellMenu-$(printed_version "$1")-x64.msi"
  [ "$(ls "$out" | tr '\n' ' ')" = \
    "SHA256SUMS $msi TorvoShellMenu.dll TorvoShellMenu.dll.debug torvo-doctor.exe torvo-doctor.exe.debug " ] ||
      fail "build/release holds: $(ls "$out")"
  [ "$(cut -d' ' -f3 "$out/SHA256SUMS" | sort | tr '\n' ' ')" = "$(ls "$out" | grep -vx SHA256SUMS | sort | tr '\n' ' ')" ] ||
      fail "SHA256SUMS does not list every file"
  (cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
}

if [ "$mode" = unsigned ]; then
  log=$(TORVO_SIGN_CERT= TORVO_SIGN_KEY= run_release)
  echo "$log"
  check_release_folder "$log"
  for file in "$dll" "$doctor" "$out"/*.msi; do
    expect_in "$log" "$(basename "$file") is unsigned"
    ! osslsigncode verify -in "$file" >/dev/null 2>&1 || fail "the unsigned $file carries a signature"
  done

  # Stripped, and the symbols are found through the debug link (whose checksum addr2line checks).
  for binary in "$dll" "$doctor"; do
    ! "$tools-objdump" -h "$binary" | grep -q ' \.debug_' || fail "debug sections left in $binary"
    "$tools-objdump" -h "$binary" | grep -q ' \.gnu_debuglink' || fail "no debug link in $binary"
  done
  address=$("$tools-nm" "$dll.debug" | awk '$3 == "DllGetClassObject" { print "0x" $1 }')
  [ -n "$address" ] || fail "no DllGetClassObject in the symbols"
  expect_in "$("$tools-addr2line" -f -e "$dll" "$address")" "server/class_objects.cpp"

  # The printed version is the one the DLL's version record carries.
  printed=$(printed_version "$log")
  record=$("$tools-windres" -i "$dll" -O rc | sed -nE 's/^ *FILEVERSION ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+).*/\1.\2.\3.\4/p')
  [ -n "$printed" ] && [ "$printed" = "$record" ] || fail "printed version '$printed', the DLL's '$record'"
  exit 0
fi

[ "$mode" = signed ] || fail "unknown mode $mode"
bin=$2 wine_run=$3 stage=$4
subject="/CN=TorvoShellMenu throw-away signer"
openssl req -x509 -newkey rsa:2048 -days 2 -subj "$subject" -passout pass:throw-away \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
log=$(TORVO_SIGN_CERT=$work/cert.pem TORVO_SIGN_KEY=$work/key.pem TORVO_SIGN_PASS=throw-away \
      TORVO_SIGN_CA=$work/cert.pem run_release)
echo "$log"
check_release_folder "$log"
for file in "$dll" "$doctor" "$out"/*.msi; do
  expect_in "$log" "$(basename "$file") signed by $subject, signature verified"
  report=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$file" 2>&1) || fail "verify $file: $report"
  expect_in "$report" "Signature verification: ok"
done
# The signature covers the code: one byte changed in .text and it no longer verifies.
cp "$dll" "$work/changed.dll"
printf '\xff' | dd of="$work/changed.dll" bs=1 seek=1024 conv=notrunc status=none
! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/changed.dll" >/dev/null 2>&1 ||
    fail "a changed DLL still verifies"

# The signed file itself, not a copy, beside the test program and the stand-in agent.
rm -rf "$stage" && mkdir -p "$stage"
ln -s "$dll" "$stage/TorvoShellMenu.dll"
ln -s "$bin/wine_server.exe" "$bin/zebtorvofloat.exe" "$stage/"
"$wine_run" "$stage/wine_server.exe" --gtest_filter='Registrations/EndToEnd.*:Registration.*' </dev/null
