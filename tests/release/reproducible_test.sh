#!/usr/bin/env bash
# Two builds of one commit write the same bytes (label reproducible, outside the default run: it
# builds the release four times, twice without any cache, about half an hour on two cores):
#   - the unsigned release of BUILD_ROOT, then scripts/release.sh --verify against it, which builds
#     the commit again in a fresh clone (another folder, another time): every file the same;
#   - a copy of that release with one byte of the DLL's header changed: the comparison names the
#     file, the offset and the header's field;
#   - the same with a throw-away certificate and key and no timestamp server: the signed files too.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$BUILD_ROOT/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_in() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in: $1"; }

# Builds the release, keeps it as NAME, and verifies it against a rebuild; prints the verdict.
release_and_verify() {
  "$root/scripts/release.sh" >"$work/$1.log" 2>&1 || { tail -n 40 "$work/$1.log" >&2; fail "release.sh failed"; }
  cp -a "$out" "$work/$1"
  local verdict
  verdict=$("$root/scripts/release.sh" --verify "$work/$1" 2>&1) || { echo "$verdict" >&2; fail "the $1 release does not rebuild to the same bytes"; }
  echo "$verdict"
  expect_in "$verdict" " 0 differ"
}

TORVO_SIGN_CERT= TORVO_SIGN_KEY= release_and_verify unsigned
rebuilt=$BUILD_ROOT/verify/clone/build/release
cmp -s "$work/unsigned/SHA256SUMS" "$rebuilt/SHA256SUMS" || fail "the rebuild's SHA256SUMS differ"

# One byte of the DLL's time stamp (the COFF header, 8 bytes after the PE signature) changed.
cp -a "$work/unsigned" "$work/changed"
dll=$work/changed/TorvoShellMenu.dll
pe=$(od -An -tu4 -j 60 -N4 "$dll" | tr -d ' ')
printf '\377' | dd of="$dll" bs=1 seek=$((pe + 8)) conv=notrunc status=none
verdict=$(/usr/bin/python3 "$root/packaging/release/compare_release.py" "$work/changed" "$rebuilt" 2>&1) &&
    fail "a changed DLL compares the same: $verdict"
expect_in "$verdict" "$(printf 'TorvoShellMenu.dll: differs at offset 0x%x (PE header: TimeDateStamp)' $((pe + 8)))"
expect_in "$verdict" "1 differ"

openssl req -x509 -newkey rsa:2048 -days 2 -subj "/CN=TorvoShellMenu throw-away signer" -nodes \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
TORVO_SIGN_CERT=$work/cert.pem TORVO_SIGN_KEY=$work/key.pem TORVO_SIGN_CA=$work/cert.pem TORVO_SIGN_TIMESTAMP= \
    release_and_verify signed
echo "both releases rebuild to the same bytes"
