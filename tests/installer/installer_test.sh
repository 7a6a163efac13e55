#!/usr/bin/env bash
# installer_test.sh BIN BIN32 POWERSHELL PACKAGE_MANAGER: the release's installer under Wine's msiexec
# in a clean prefix of its own, step after step, each checked against the state it must leave:
#   installed  the registry holds exactly what both DLLs' regsvr32 write in a clean prefix (the
#              release's harvest, the DLLs' paths folded), the files are the package's (the
#              package's logos under the paths its manifest names), torvo-doctor finds no problem
#              and the explorer-like host shows the item, built for 64 bits (torvo_host.exe from
#              BIN) and for 32 bits (from BIN32, served by the 32-bit DLL)
#   unchanged  registry and disk as before the step;  removed  as before the first install
# After the repair, torvo-doctor --fix names the installer and repairs with it a value it wrote; with
# the installer's package in none of its sources, it applies nothing and says what to run.
# The install folder is the agent's; the newer package is built from the release's staged sources,
# each versioned file one build newer, as the next release's are.
# Windows 11's package: the prefix reports build 22631; PACKAGE_MANAGER (a stand-in of Windows'
# PackageManager that records its calls, tests/installer/package_manager_stand_in.cpp) serves the
# runtime classes torvo-package.exe asks for, and POWERSHELL (a stand-in) answers torvo-doctor's
# question about the user's package. Install and repair stage the package with the install folder
# as its external location and provision it for all users; the install writes the sign-in step's
# Active Setup component, whose program registers the package for the user once and not again at
# the same version; removal deprovisions it and removes it for all users, and takes the component;
# a failing call leaves the install succeeded. WINDOWS11_MENU=0 is remembered: the install, a
# repair, an upgrade and the sign-in step given no switch call nothing, and the doctor notes the
# choice. On Windows 10 (build 19045) nothing is called.
# A failed step keeps its evidence in BUILD_ROOT/installer-evidence: the run's logs and snapshots and
# the prefix's registry; the tries of a start that Wine gave up on run with Wine's error channel on.
set -euo pipefail
bin=$1 bin32=$2 powershell=$3 package_manager=$4
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
  cp -a "$WINEPREFIX/drive_c/PackageManager" "$evidence/" 2>/dev/null || true  # the stand-in's log and state
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
       -o \( -path ./PackageManager -prune \) \
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
  for file in TorvoShellMenu.dll TorvoShellMenu32.dll torvo-doctor.exe torvo-move.exe torvo-package.exe \
      TorvoShellMenu.msix; do
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
  local package_line="ok      package: ZebTorvo.TorvoShellMenu"
  [ "$menu" = 1 ] || package_line="note    package: ZebTorvo.TorvoShellMenu is turned off by the administrator (WINDOWS11_MENU=0)"
  [ "$build" -lt 22000 ] || grep -qF "$package_line" "$1.doctor" ||
      { cat "$1.doctor"; fail "torvo-doctor's package line is not: $package_line"; }
  # The sign-in step on Windows 11, its program the installed one.
  [ "$build" -lt 22000 ] || [ "$(active_setup StubPath)" = "\"$folder\\torvo-package.exe\" /user" ] ||
      fail "the Active Setup component runs '$(active_setup StubPath)'"
  [ "$(active_setup Version)" = "$(file_version "$host_folder/TorvoShellMenu.dll" | tr . ,)" ] ||
      fail "the Active Setup component's version is '$(active_setup Version)'"
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

# The calls the stand-in PackageManager recorded since the last look, one word each (its lookups
# aside), with what each names checked: the install folder as the external location.
manager_folder="$WINEPREFIX/drive_c/PackageManager"
folder_uri="file:///$(printf '%s' "$folder" | sed 's|\\|/|g; s| |%20|g')/"
calls() {
  [ -f "$manager_folder/package-manager.log" ] || return 0
  while IFS= read -r call; do
    case $call in
      "stage "*|"add "*)
        [[ $call == *" external $folder_uri" ]] || fail "the package is not ${call%% *}d with $folder as its location: $call"
        echo "${call%% *}" ;;
      provision\ ZebTorvo.TorvoShellMenu_*) echo provision ;;
      deprovision\ ZebTorvo.TorvoShellMenu_*) echo deprovision ;;
      "remove "*" for all users") echo remove-for-all ;;
      "remove "*) echo remove ;;
      "find "*) ;;
      *) fail "an unknown call: $call" ;;
    esac
  done <"$manager_folder/package-manager.log" | tr '\n' ' '
  rm -f "$manager_folder/package-manager.log"
}
expect_calls() { local got; got=$(calls); [ "$got" = "$1" ] || fail "$2: the package's calls are '$got', not '$1'"; }
# A value of the sign-in step's Active Setup component; empty when it is not there.
active_setup() {
  local key='HKLM\Software\Microsoft\Active Setup\Installed Components\{D51C6E2A-8F47-4B93-A0E5-3C7B19F4D8A2}'
  wine_run reg query "$key" /v "$1" /reg:64 </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p" || true
}
# The sign-in step as Windows runs it in the user's context; its exit code must be WANT.
sign_in() {
  local code=0
  wine_run "$folder\\torvo-package.exe" /user </dev/null >"$work/sign-in" 2>&1 || code=$?
  [ "$code" = "$1" ] || { cat "$work/sign-in"; fail "the sign-in step ended with $code, not $1"; }
}
windows_build() {
  build=$1
  wine_run reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d "$1" /f /reg:64 \
      </dev/null >/dev/null || fail "cannot set the Windows build"
}

fresh_prefix "$WINEPREFIX" || fail "no prefix"
wineserver -p
start_services
hold_desktop "$bin/.." || fail "no desktop"  # one desktop before the first snapshot (tools/hold_desktop)
shell_folder="$WINEPREFIX/drive_c/windows/system32/WindowsPowerShell/v1.0"
mkdir -p "$host_folder" "$WINEPREFIX/drive_c/users/Public" "$shell_folder" "$manager_folder"
cp "$powershell" "$shell_folder/powershell.exe"
# Windows' PackageManager and the classes it takes, where Windows looks for runtime classes.
cp "$package_manager" "$manager_folder/"
for class in Windows.Management.Deployment.PackageManager Windows.Management.Deployment.StagePackageOptions \
    Windows.Management.Deployment.AddPackageOptions Windows.Foundation.Uri; do
  key="HKLM\\Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\$class"
  wine_run reg add "$key" /v DllPath /d 'C:\PackageManager\package_manager_stand_in.dll' /f /reg:64 </dev/null >/dev/null &&
      wine_run reg add "$key" /v ActivationType /t REG_DWORD /d 0 /f /reg:64 </dev/null >/dev/null ||
      fail "cannot register the stand-in PackageManager"
done
menu=1
windows_build 22631
cp "$bin/zebtorvofloat.exe" "$host_folder/"
echo report >"$WINEPREFIX/drive_c/users/Public/report.txt"
snapshot "$work/pristine"

echo stage >"$manager_folder/package-manager.fail"  # the first staging fails: the install does not
step install 0 installed -- /i "$(win "$older")" INSTALLFOLDER="$folder"
expect_calls "stage " install
# A value the installer wrote and the installed DLL go; a repair puts both back, and provisions.
wine_run reg delete 'HKLM\Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\InprocServer32' \
    /v ThreadingModel /f </dev/null >/dev/null || fail "cannot delete ThreadingModel"
rm "$host_folder/TorvoShellMenu.dll"
step repair 0 installed -- /i "$(win "$older")" REINSTALL=ALL REINSTALLMODE=amus
expect_calls "stage provision " repair
# The user signs in: the package is registered for the user once, and not again at the same version.
sign_in 0
expect_calls "add " "the first sign-in"
sign_in 0
expect_calls "" "the next sign-in"
# torvo-doctor names the installer and repairs a value the installer wrote with its repair.
read -r older_code older_version < <(msiinfo export "$older" Property | tr -d '\r' |
    awk -F'\t' '$1 == "ProductCode" { c = $2 } $1 == "ProductVersion" { v = $2 } END { print c, v }')
wine_run reg delete 'HKLM\Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\InprocServer32' \
    /v ThreadingModel /f /reg:64 </dev/null >/dev/null || fail "cannot delete ThreadingModel"
wine_run "$folder\\torvo-doctor.exe" --fix --yes </dev/null >"$work/doctor" || { cat "$work/doctor"; fail "torvo-doctor --fix left a problem"; }
grep -qF "ok      installer: TorvoShellMenu $older_version, product code $older_code, folder $folder" "$work/doctor" &&
    grep -qF "fixed: msiexec /fam $older_code" "$work/doctor" || { cat "$work/doctor"; fail "torvo-doctor: no installer's repair"; }
expect_calls "stage provision " "torvo-doctor's repair (the installer's, which provisions again)"
# The newer package, given no folder, upgrades the older one where it lies: its files replace the
# older ones (the DLL with the newer version record) and the registration is whole.
package_files=$work/stage
step upgrade 0 installed -- /i "$(win "$work/newer.msi")"
# Windows sets UPGRADINGPRODUCTCODE in the older product's removal, which then leaves the package
# alone; Wine's removal does not, and removes it: the newer product's provisioning ends the step
# either way.
[[ "$(calls)" == *"stage provision " ]] || fail "upgrade: the newer package was not provisioned"
installed_version=$(file_version "$host_folder/TorvoShellMenu.dll")
[ "$installed_version" = "$(file_version "$work/stage/TorvoShellMenu.dll")" ] &&
    [ "$installed_version" != "$(file_version "$release/TorvoShellMenu.dll")" ] ||
    fail "the upgraded DLL's version record is $installed_version"
[ "$(products "$work/upgrade.after")" = "$newer_code" ] ||
    fail "installed products after the upgrade: $(products "$work/upgrade.after"), not $newer_code"
# The newer version's sign-in step registers it for the user, whatever the user had.
sign_in 0
[[ "$(calls)" == *"add " ]] || fail "the sign-in after the upgrade did not register the newer package"
# The installer's package gone from its source: --fix repairs nothing and says what to run.
mv "$work/newer.msi" "$work/newer.msi.away"
wine_run reg delete 'HKLM\Software\Classes\CLSID\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\InprocServer32' \
    /v ThreadingModel /f /reg:64 </dev/null >/dev/null || fail "cannot delete ThreadingModel"
snapshot "$work/sourceless.before"
WINE_RUN_QUIET=1 wine_run "$folder\\torvo-doctor.exe" --fix --yes </dev/null >"$work/doctor" &&
    { cat "$work/doctor"; fail "torvo-doctor --fix succeeded without the installer's package"; }
grep -qF "not applied (to be done by hand): registration machine-wide: msiexec /fam $newer_code needs the installer's package" \
    "$work/doctor" || { cat "$work/doctor"; fail "torvo-doctor did not say that the repair needs the package"; }
snapshot "$work/sourceless.after"
compare unchanged "$work/sourceless.before.reg" "$work/sourceless.after.reg"
mv "$work/newer.msi.away" "$work/newer.msi"
step repair-from-its-source 0 installed -- /i "$(win "$work/newer.msi")" REINSTALL=ALL REINSTALLMODE=amus
calls >/dev/null
# 1603 (fatal error) is 67 to a Linux shell. The refusal is the downgrade rule's, which found the
# newer product (Wine's quiet log leaves out the rule's message).
step downgrade 67 unchanged -- /i "$(win "$older")"
grep -qa "WIX_DOWNGRADE_DETECTED = $newer_code" "$work/downgrade.log" || fail "the downgrade was not refused as one"
expect_calls "" downgrade
step removal 0 removed -- /x "$(win "$work/newer.msi")"
expect_calls "deprovision remove-for-all " removal
# Without Windows 11's menu, by the administrator's choice: remembered by a repair and an upgrade
# given no switch; the sign-in step registers nothing; the removal still takes whatever is there.
package_files=$release
menu=0
step install-without-menu 0 installed -- /i "$(win "$older")" INSTALLFOLDER="$folder" WINDOWS11_MENU=0
step repair-without-menu 0 installed -- /i "$(win "$older")" REINSTALL=ALL REINSTALLMODE=amus
sign_in 2
package_files=$work/stage
expect_calls "" "WINDOWS11_MENU=0, then a repair and a sign-in without it"
step upgrade-without-menu 0 installed -- /i "$(win "$work/newer.msi")"
sign_in 2
# Wine's removal of the older product in an upgrade (see above) deprovisions; nothing registers.
got=" $(calls)"
[[ $got != *" stage "* && $got != *" provision "* && $got != *" add "* ]] ||
    fail "an upgrade and a sign-in without WINDOWS11_MENU registered the package the administrator turned off:$got"
step removal-without-menu 0 removed -- /x "$(win "$work/newer.msi")"
calls >/dev/null
# On Windows 10.
package_files=$release
menu=1
windows_build 19045
step install-on-windows-10 0 installed -- /i "$(win "$older")" INSTALLFOLDER="$folder"
sign_in 2
step removal-on-windows-10 0 removed -- /x "$(win "$older")"
expect_calls "" "Windows 10"
