#!/usr/bin/env bash
# build-msi.sh VERSION STAGE OUT [MACHINE]
# Builds the installer (MACHINE x64, the default, or arm64) of the files in STAGE (TorvoShellMenu.dll, TorvoShellMenu32.dll,
# torvo-doctor.exe, torvo-move.exe, torvo-package.exe, registration.wxi, registration32.wxi and registration.json from
# harvest.sh, and TorvoShellMenu.msix when the release has one, with the package's logos from
# packaging/msix) into OUT,
# writes into its tables what wixl cannot (package_tables.py finish: the files' versions, the secure
# install folder), gives it a package code derived from its contents and the release's one time
# (source_date_epoch, scripts/common.sh) wherever it records one, then checks that its registry rows are exactly what registration wrote and that
# its tables follow Windows Installer's rules (package_tables.py check).
# VERSION is the product's four-part version, major.minor.patch.build. Windows Installer compares
# three parts (major and minor up to 255, the third up to 65535), so the package's version is
# major.minor.build: the build number orders releases, and it grows with every release.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/common.sh"
version=$1 stage=$2 out=$3 machine=${4:-x64}
[[ "$machine" =~ ^(x64|arm64)$ ]] || { echo "build-msi: no installer for the machine $machine" >&2; exit 1; }

fail() { echo "build-msi: $*" >&2; exit 1; }

IFS=. read -r major minor patch build extra <<<"$version"
[[ -z "${extra:-}" && "$major.$minor.$patch.$build" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
    fail "version $version is not major.minor.patch.build"
((major <= 255 && minor <= 255 && build <= 65535)) || fail "version $version does not fit an installer's version"
package_version=$major.$minor.$build

# One product code per package version and machine: a rebuilt package of the same version is the same
# product; the x64 and ARM64 packages are two products of one upgrade code, so that either replaces the
# other (package_tables.py lets the major upgrade take the same version).
# The sign-in step's Active Setup component, one for every version and machine (Windows runs its
# StubPath again for each user when the version grows).
ACTIVE_SETUP_ID="{D51C6E2A-8F47-4B93-A0E5-3C7B19F4D8A2}"
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$here/TorvoShellMenu.wxs")
product_name=$package_version
[ "$machine" = x64 ] || product_name="$package_version $machine"
product_code=$("$PYTHON" -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$product_name")
sparse=no
if [ -f "$stage/TorvoShellMenu.msix" ]; then
  sparse=yes
  mkdir -p "$stage/images" && cp "$here"/../msix/images/*.png "$stage/images/"
fi

# wixl finds the files named by the source beside it.
cp "$here/TorvoShellMenu.wxs" "$here/../../resources/padlock.ico" "$stage/"
# The cabinet records each file's time: every file gets the release's one time.
epoch=$(source_date_epoch)
find "$stage" -type f -exec touch -h -d "@$epoch" {} +
# The package code names the package's contents: the same files and settings give the same code, and
# any other package another, as Windows Installer requires of every package that differs.
contents=$( (cd "$stage" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum
             echo "$version $machine $product_code $sparse") | sha256sum | cut -d' ' -f1)
package_code=$("$PYTHON" -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "package $contents")
# wixl knows no ARM64: the ARM64 package is built as a 64-bit one, and package_tables.py gives its
# summary the ARM64 platform.
wixl -a x64 -D Version="$package_version" -D ProductCode="$product_code" -D Sparse=$sparse -D Machine="$machine" \
    -D FullVersion="$version" -D ActiveSetupId="$ACTIVE_SETUP_ID" -D ActiveSetupVersion="${version//./,}" \
    -o "$out" "$stage/TorvoShellMenu.wxs" || fail "wixl failed"
"$PYTHON" "$here/package_tables.py" finish "$out" "$machine" "$package_code" ||
    fail "the package's tables cannot be finished"
# wixl and msibuild record the time they ran as the package's creation and last save.
"$PYTHON" "$here/summary_times.py" "$out" "$epoch" || fail "the package's summary times cannot be set"
"$PYTHON" "$here/registration_rows.py" check "$out" "$stage/registration.json" ||
    fail "the package's registry rows are not what registration writes"
"$PYTHON" "$here/package_tables.py" check "$out" "$machine" || fail "the package's tables break the rules above"
