#!/usr/bin/env bash
# Two builds of one commit write the same bytes (label reproducible, outside the default run: it
# builds the release four times, twice in a fresh clone without any cache; about ten minutes on two
# cores):
#   - the unsigned release of BUILD_ROOT, and a copy of it with one byte of the DLL's header changed;
#     scripts/release.sh --verify on the copy builds the commit again in a fresh clone (another
#     folder, another time) and names that file, offset and header field, and nothing else; the
#     rebuild and the release are the same, byte for byte;
#   - the same with a throw-away certificate and key and no timestamp server: the signed files too.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$BUILD_ROOT/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in: $1"; }

# Builds the release and keeps it as NAME.
release_as() {
  "$root/scripts/release.sh" >"$work/$1.log" 2>&1 || { tail -n 40 "$work/$1.log" >&2; fail "release.sh failed"; }
  cp -a "$out" "$work/$1"
}

# The unsigned release, and a copy with one byte of the DLL's time stamp (the COFF header, 8 bytes
# after the PE signature) changed: --verify on the copy names that byte and no other difference.
TORVO_SIGN_CERT= TORVO_SIGN_KEY= release_as unsigned
cp -a "$work/unsigned" "$work/changed"
dll=$work/changed/TorvoShellMenu.dll
pe=$(od -An -tu4 -j 60 -N4 "$dll" | tr -d ' ')
printf '\377' | dd of="$dll" bs=1 seek=$((pe + 8)) conv=notrunc status=none
verdict=$("$root/scripts/release.sh" --verify "$work/changed" 2>&1) && fail "a changed DLL verifies: $verdict"
echo "$verdict"
expect_in "$verdict" "$(printf 'TorvoShellMenu.dll: differs at offset 0x%x (PE header: TimeDateStamp)' $((pe + 8)))"
expect_in "$verdict" "files compared, 1 differ"
# The rebuild is the unchanged release, byte for byte.
rebuilt=$BUILD_ROOT/verify/clone/build/release
verdict=$(/usr/bin/python3 "$root/packaging/release/compare_release.py" "$work/unsigned" "$rebuilt") ||
    fail "the unsigned release does not rebuild to the same bytes: $verdict"
expect_in "$verdict" " 0 differ"
cmp -s "$work/unsigned/SHA256SUMS" "$rebuilt/SHA256SUMS" || fail "the rebuild's SHA256SUMS differ"

# Signed with a throw-away certificate and key, no timestamp server: the signed files too.
openssl req -x509 -newkey rsa:2048 -days 2 -subj "/CN=TorvoShellMenu throw-away signer" -nodes \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export TORVO_SIGN_CERT=$work/cert.pem TORVO_SIGN_KEY=$work/key.pem TORVO_SIGN_CA=$work/cert.pem TORVO_SIGN_TIMESTAMP=
release_as signed
verdict=$("$root/scripts/release.sh" --verify "$work/signed" 2>&1) || fail "the signed release does not rebuild to the same bytes: $verdict"
echo "$verdict"
expect_in "$verdict" " 0 differ"
echo "both releases rebuild to the same bytes"
