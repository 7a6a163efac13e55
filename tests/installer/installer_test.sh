#!/usr/bin/env bash
# installer_test.sh BIN BIN32 POWERSHELL: the release's installer under Wine's msiexec in a clean prefix of its own,
# step after step, each checked against the state it must leave:
#   installed  the registry holds exactly what both DLLs' regsvr32 write in a clean prefix (the
#              release's harvest, the DLLs' paths folded), the files are the package's (the
#              package's logos under the paths its manifest names), torvo-doctor finds no problem
#              and the explorer-like host shows the item, built for 64 bits (torvo_host.exe from
#              BIN) and for 32 bits (from BIN32, served by the 32-bit DLL)
#   unchanged  registry and disk as before the step;  removed  as before the first install
# After the repair, torvo-doctor --fix names the installer and repairs with it a value it wrote.
# The install folder is the agent's; the newer package is built from the release's staged sources,
# each versioned file one build newer, as the next release's are.
# Windows 11's package: the prefix reports build 22631, and POWERSHELL (a stand-in that records its
# calls) is System32's powershell.exe. Install, repair, upgrade and removal register and remove the
# package in that order with the install folder as its external location; a failing call leaves the
# install succeeded; with build 19045, or WINDOWS11_MENU=0, nothing is called.
# A failed step keeps its evidence in BUILD_ROOT/installer-evidence: the run's logs and snapshots and
# the prefix's registry; the tries of a start that Wine gave up on run with Wine's error channel on.
set -euo pipefail
bin=$1 bin32=$2 powershell=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/common.sh"
export WINEPREFIX=$BUILD_ROOT/installer-prefix
release=$BUILD_ROOT/release
folder='C:\Program Files\ZebTorvo Vault'
host_folder="$WINEPREFIX/drive_c/Program Files/ZebTorvo Vault"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$work" "$WINEPREFIX"' EXIT

evidence=$BUILD_ROOT/installer-evidence
fail() {
  echo "FAIL: $*" >&2
  rm -rf "$evidence" && mkdir -p "$evidence" && cp -a "$work/." "$evidence/" || true
  # The server writes the registry it holds into the prefix's files when it ends.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  cp "$WINEPREFIX"/*.reg "$evidence/" 2>/dev/null || true
  echo "the run's logs and snapshots and the prefix's registry (*.reg) are kept in $evidence" >&2
  exit 1
}
win() { printf 'Z:%s' "${1//\//\\}"; }
compare() { "$PYTHON" "$root/tests/installer/registry_compare.py" "$@" || fail "the registry differs (above)"; }

# The registry's export and the disk's listing (files with size and time, folders by name; the
# installer's cache folder aside, which Windows always has).
snapshot() {
  export_registry "$(win "$1.reg")" >/dev/null || fail "no snapshot of the registry for $1"
  (cd "$WINEPREFIX/drive_c" && find . \( -path ./windows/Installer -prune \) -o \( -path ./windows/system32/WindowsPowerShell -prune \) \
       -o \( -type f -printf '%p %s %T@\n' \) \
       -o \( -type d -printf '%p/\n' \) | sort) >"$1.disk"
}
file_version() { "$PYTHON" -c 'import sys; sys.path.insert(0, sys.argv[1]); import pe_version; print(pe_version.version_record(sys.argv[2])[0])' "$root/packaging/msi" "$1"; }
same_disk() { diff -u "$1.disk" "$2.disk" || fail "$3: the disk differs"; }

# The product codes in the list of programs of an export (a fresh prefix has none).
products() { iconv -f UTF-16 -t UTF-8 "$1.reg" | tr -d '\r' | sed -nE 's/^\[.*\\Uninstall\\(\{[^\]+\})\]$/\1/p'; }

# The files the installed package holds: the release's, then the newer package's.
package_files=$release
check_installed() {
  compare installed "$work/pristine.reg" "$1.reg" "$BUILD_ROOT/win-release/msi/registration.json" "$folder"
  for file in TorvoShellMenu.dll TorvoShellMenu32.dll torvo-doctor.exe torvo-move.exe TorvoShellMenu.msix; do
    cmp "$package_files/$file" "$host_folder/$file" || fail "$file is not the package's"
  done
  # The sparse package's logos where Windows looks for them: its external location, the DLL's folder.
  for logo in StoreLogo Square44x44Logo Square150x150Logo; do
    cmp "$root/packaging/msix/images/$logo.png" "$host_folder/images/$logo.png" || fail "$logo.png is not installed"
  done
  # The package as Windows 11 would list it for the user after the installer's registration (the
  # installer's calls are over: a failing stand-in fails no more).
  rm -f "$shell_folder/powershell-exit.txt"
  printf '%s|%s\\\r\n' "$(file_version "$host_folder/TorvoShellMenu.dll")" "$folder" >"$shell_folder/powershell-output.txt"
  wine_run "$folder\\torvo-doctor.exe" </dev/null >"$1.doctor" || { cat "$1.doctor"; fail "torvo-doctor found a problem"; }
  [ "$build" -lt 22000 ] || grep -qF "ok      package: ZebTorvo.TorvoShellMenu" "$1.doctor" ||
      { cat "$1.doctor"; fail "torvo-doctor did not ask for the package"; }
  for host in "$bin/torvo_host.exe" "$bin32/torvo_host.exe"; do
    wine_run "$host" 'C:\users\Public\report.txt' </dev/null >"$1.host" || true
    grep -qF "移动到 ZebTorvo 加密" "$1.host" || { cat "$1.host"; fail "the menu of $host lacks the item"; }
  done
}

# step NAME EXIT STATE -- MSIEXEC ARGUMENTS: runs msiexec silently with a log, expects its exit code
# (modulo 256, as a Linux shell sees it) and checks the state it leaves.
step() {
  local name=$1 want=$2 state=$3 code=0
  shift 4
  # Only a step that must change nothing is compared with the state before it; the others are
  # compared with the pristine prefix (a snapshot costs a whole export of HKLM\Software).
  [ "$state" != unchanged ] || snapshot "$work/$name.before"
  # Its log is its sign of life: an msiexec that wrote none never ran, and is started again.
  WINE_RUN_QUIET=$([ "$want" = 0 ] && echo 0 || echo 1) \
      wine_run --life "$work/$name.log" msiexec "$@" /qn /l*v "$(win "$work/$name.log")" </dev/null || code=$?
  if [ "$code" != "$want" ]; then
    if [ -f "$work/$name.log" ]; then tail -n 40 "$work/$name.log" >&2; else echo "msiexec wrote no log" >&2; fi
    fail "$name: msiexec exited $code, not $want"
  fi
  snapshot "$work/$name.after"
  case $state in
    installed) check_installed "$work/$name.after" ;;
    unchanged) compare unchanged "$work/$name.before.reg" "$work/$name.after.reg"
               same_disk "$work/$name.before" "$work/$name.after" "$name" ;;
    removed)   compare removed "$work/pristine.reg" "$work/$name.after.reg"
               same_disk "$work/pristine" "$work/$name.after" "$name" ;;
  esac
  echo "ok: $name"
}

older=$(ls "$release"/TorvoShellMenu-*-x64.msi)
version=$(basename "$older" | sed -E 's/^TorvoShellMenu-(.*)-x64\.msi$/\1/')
newer_version=${version%.*}.$((${version##*.} + 1))
cp -r "$BUILD_ROOT/win-release/msi" "$work/stage"
"$PYTHON" "$root/tests/installer/newer_build.py" "$work/stage"
"$root/packaging/msi/build-msi.sh" "$newer_version" "$work/stage" "$work/newer.msi" >/dev/null
newer_code=$(msiinfo export "$work/newer.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')

# The calls the stand-in recorded, one word each: "register" or "remove" (in order), with what each
# names checked: the install folder as the external location, the package's name.
shell_folder="$WINEPREFIX/drive_c/windows/system32/WindowsPowerShell/v1.0"
calls() {
  [ -f "$shell_folder/powershell-calls.log" ] || return 0
  while IFS= read -r call; do
    case $call in
      *"Add-AppxPackage -Stage"*"-ExternalLocation"*"Add-AppxProvisionedPackage -Online"*)
        [[ $call == *"-ExternalLocation '$folder\'"* ]] || fail "the package is not staged with $folder as its location: $call"
        echo register ;;
      *"Remove-AppxProvisionedPackage -Online -AllUsers"*"Remove-AppxPackage -AllUsers"*) echo remove ;;
      *"FindPackagesForUser('')"*) ;;  # torvo-doctor's question
      *) fail "an unknown call: $call" ;;
    esac
  done <"$shell_folder/powershell-calls.log" | tr '\n' ' '
}
expect_calls() { [ "$(calls)" = "$1" ] || fail "$2: the package's calls are '$(calls)', not '$1'"; }
windows_build() {
  build=$1
  wine_run reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d "$1" /f /reg:64 \
      </dev/null >/dev/null || fail "cannot set the Windows build"
}

fresh_prefix "$WINEPREFIX" || fail "no prefix"
wineserver -p
start_services
hold_desktop "$bin/.." || fail "no desktop"  # one desktop before the first snapshot (tools/hold_desktop)
mkdir -p "$host_folder" "$WINEPREFIX/drive_c/users/Public" "$shell_folder"
cp "$powershell" "$shell_folder/powershell.exe"
windows_build 22631
cp "$bin/zebtorvofloat.exe" "$host_folder/"
echo report >"$WINEPREFIX/drive_c/users/Public/report.txt"
snapshot "$work/pristine"

echo 1 >"$shell_folder/powershell-exit.txt"  # the first registration fails: the install does not
step install 0 installed -- /i "$(win "$older")" INSTALLFOLDER="$folder"
expect_calls "register " install
# A value the installer wrote and the installed DLL go; a repair puts both back.
wine_run reg delete 'HKLM\Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\InprocServer32' \
    /v ThreadingModel /f </dev/null >/dev/null || fail "cannot delete ThreadingModel"
rm "$host_folder/TorvoShellMenu.dll"
step repair 0 installed -- /i "$(win "$older")" REINSTALL=ALL REINSTALLMODE=amus
expect_calls "register register " repair
# torvo-doctor names the installer and repairs a value the installer wrote with its repair.
read -r older_code older_version < <(msiinfo export "$older" Property | tr -d '\r' |
    awk -F'\t' '$1 == "ProductCode" { c = $2 } $1 == "ProductVersion" { v = $2 } END { print c, v }')
wine_run reg delete 'HKLM\Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\InprocServer32' \
    /v ThreadingModel /f /reg:64 </dev/null >/dev/null || fail "cannot delete ThreadingModel"
wine_run "$folder\\torvo-doctor.exe" --fix --yes </dev/null >"$work/doctor" || { cat "$work/doctor"; fail "torvo-doctor --fix left a problem"; }
grep -qF "ok      installer: TorvoShellMenu $older_version, product code $older_code, folder $folder" "$work/doctor" &&
    grep -qF "fixed: msiexec /fam $older_code" "$work/doctor" || { cat "$work/doctor"; fail "torvo-doctor: no installer's repair"; }
# The newer package, given no folder, upgrades the older one where it lies: its files replace the
# older ones (the DLL with the newer version record) and the registration is whole.
package_files=$work/stage
step upgrade 0 installed -- /i "$(win "$work/newer.msi")"
# Windows sets UPGRADINGPRODUCTCODE in the older product's removal, which then leaves the package
# alone; Wine's removal does not, and calls both actions: the newer product's registration is the
# step's last call either way.
[[ "$(calls)" == "register register "*"register " ]] || fail "upgrade: the package's calls are '$(calls)'"
installed_version=$(file_version "$host_folder/TorvoShellMenu.dll")
[ "$installed_version" = "$(file_version "$work/stage/TorvoShellMenu.dll")" ] &&
    [ "$installed_version" != "$(file_version "$release/TorvoShellMenu.dll")" ] ||
    fail "the upgraded DLL's version record is $installed_version"
[ "$(products "$work/upgrade.after")" = "$newer_code" ] ||
    fail "installed products after the upgrade: $(products "$work/upgrade.after"), not $newer_code"
# 1603 (fatal error) is 67 to a Linux shell. The refusal is the downgrade rule's, which found the
# newer product (Wine's quiet log leaves out the rule's message).
step downgrade 67 unchanged -- /i "$(win "$older")"
grep -qa "WIX_DOWNGRADE_DETECTED = $newer_code" "$work/downgrade.log" || fail "the downgrade was not refused as one"
before=$(calls)
step removal 0 removed -- /x "$(win "$work/newer.msi")"
expect_calls "${before}remove " removal
# Without Windows 11's menu: asked not to, and on Windows 10.
rm "$shell_folder/powershell-calls.log"
package_files=$release
step install-without-menu 0 installed -- /i "$(win "$older")" INSTALLFOLDER="$folder" WINDOWS11_MENU=0
step removal-without-menu 0 removed -- /x "$(win "$older")" WINDOWS11_MENU=0
windows_build 19045
step install-on-windows-10 0 installed -- /i "$(win "$older")" INSTALLFOLDER="$folder"
step removal-on-windows-10 0 removed -- /x "$(win "$older")"
expect_calls "" "WINDOWS11_MENU=0 and Windows 10"
