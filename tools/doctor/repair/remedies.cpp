#include "tools/doctor/repair/remedies.h"

#include <windows.h>

#include "TorvoShellMenu.h"
#include "resources/app_id.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/reads/windows11_package.h"

namespace torvo::doctor {

namespace {

constexpr wchar_t kRestart[] = L", then restart Explorer";

std::wstring RootName(RegKey root) { return root == kHkeyCurrentUser ? L"HKCU\\" : L"HKLM\\"; }

RegistryPlace KeyPlace(RegKey root, const std::wstring& key) { return {root, Utf16(key), std::nullopt}; }

// A registration of the DLL with every key and value it writes, as the places --fix requires and
// restores: the scripts' keys in the classes of the way it registers, the type library and the
// proxy/stub, and the approval in HKLM. A registration for every user requires them all; one for
// this user requires only the user's (the type library of the platform's per-user registration is
// the user's on Windows, the machine's under Wine; the approval needs an administrator), and
// writes the machine's where it may.
Repair Registration(const std::wstring& dll, const std::wstring& clsid, bool perUser) {
  Repair repair{perUser ? RepairKind::kRegisterPerUser : RepairKind::kRegister, Utf16(dll), {}};
  const std::wstring classes = kClassesKey;
  const RegKey scriptRoot = perUser ? kHkeyCurrentUser : kHkeyLocalMachine;
  for (const std::wstring& key : {L"AppID\\" + std::wstring(kAppId), std::wstring(L"AppID\\TorvoShellMenu.DLL"),
                                  std::wstring(L"TorvoShellMenu.TorvoShellContextMenu"),
                                  std::wstring(L"TorvoShellMenu.TorvoShellContextMenu.1"), L"CLSID\\" + clsid}) {
    repair.places.push_back(KeyPlace(scriptRoot, classes + key));
  }
  for (const HandlerKind& kind : kHandlerKinds)
    repair.places.push_back(KeyPlace(scriptRoot, classes + HandlerKey(kind)));
  std::vector<RegistryPlace>& machine = perUser ? repair.bestEffort : repair.places;
  const std::wstring iid = GuidText(IID_ITorvoShellContextMenu);
  for (const RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    for (const std::wstring& key : {L"TypeLib\\" + GuidText(LIBID_TorvoShellMenuLib), L"Interface\\" + iid,
                                    L"WOW6432Node\\Interface\\" + iid, L"CLSID\\" + iid}) {
      (root == kHkeyCurrentUser ? repair.places : machine).push_back(KeyPlace(root, classes + key));
    }
  }
  machine.push_back(KeyPlace(kHkeyLocalMachine, std::wstring(kApprovedKey) + L"\\" + kHandlerName));
  machine.push_back({kHkeyLocalMachine, Utf16(kApprovedKey), Utf16(clsid)});
  return repair;
}

// The installer's repair of its files and machine registry rows (msiexec /fam, "a" every file,
// "m" the machine's rows); Windows Installer needs an administrator for a per-machine product.
Remedy InstallerRepair(const DoctorContext& context, const std::wstring& why) {
  const Installation& installed = *context.installer;
  if (!installed.sourceReachable) {  // nothing for --fix to apply: a repair would end in 1612
    return {L"msiexec /fam " + installed.productCode + L" needs the installer's package " + installed.packageName +
                L", which none of its sources holds now; with a copy of it, run as administrator: msiexec /fam " +
                Quoted(L"<folder of the copy>\\" + installed.packageName) + L" (product code " + installed.productCode +
                why + L")" + kRestart,
            {}};
  }
  Repair repair{RepairKind::kReinstall,
                Utf16(context.installer->productCode),
                {KeyPlace(kHkeyLocalMachine, std::wstring(kClassesKey) + L"CLSID\\" + context.clsid)}};
  return {CommandOf(repair) + L" (the installer's repair, as administrator" + why + L")" + kRestart, std::move(repair)};
}

}  // namespace

std::wstring CommandOf(const Repair& repair) {
  const std::wstring text = Wide(repair.text);
  switch (repair.kind) {
    case RepairKind::kRemoveKey:
      return L"reg delete " + Quoted(RootName(repair.places[0].root) + Wide(repair.places[0].key)) + L" /f";
    case RepairKind::kWriteText:
      return L"reg add " + Quoted(RootName(repair.places[0].root) + Wide(repair.places[0].key)) + L" /v " +
             Wide(*repair.places[0].value) + L" /t REG_SZ /d " + text + L" /f";
    case RepairKind::kRegister:
      return L"regsvr32 " + Quoted(text);
    case RepairKind::kRegisterPerUser:
      return L"regsvr32 /n /i:user " + Quoted(text);
    case RepairKind::kReinstall:
      return L"msiexec /fam " + text;
    case RepairKind::kRegisterPackage:
      return RegisterPackageCommand(text);
    default:
      return {};
  }
}

// The registration by hand of a DLL that an elevated --fix never runs (NotLoadedWhenElevated): the
// user's own registers it unelevated; any other is installed where only administrators write first.
Remedy RegisterByHand(const DoctorContext& context, const std::wstring& dll) {
  if (NamedByUserAlone(context, dll))
    return {L"regsvr32 /n /i:user " + Quoted(dll) + L", run by the user without elevation" + kRestart, {}};
  return {
      L"install TorvoShellMenu.dll where only administrators may write (the installer's folder), then register "
      L"it there as administrator (--fix does not run " +
          dll + L", which others than administrators may change)" + kRestart,
      {}};
}

Remedy RegisterAgain(const DoctorContext& context, const std::wstring& dll, bool perUser) {
  if (context.installer) return InstallerRepair(context, L"");
  if (ReadOnlyAsFile(context, dll)) return RegisterByHand(context, dll);
  Repair repair = Registration(dll, context.clsid, perUser);
  return {CommandOf(repair) + (perUser ? L"" : L" (as administrator)") + kRestart, std::move(repair)};
}

Remedy RegisterForEveryUser(const DoctorContext& context, const std::wstring& dll, const std::wstring& text) {
  if (context.installer) return InstallerRepair(context, L"");
  if (ReadOnlyAsFile(context, dll)) return RegisterByHand(context, dll);
  return {text, Registration(dll, context.clsid, false)};
}

Remedy InstallAgain(const DoctorContext& context, std::wstring byHand) {
  if (context.installer) return InstallerRepair(context, L", which installs its files again");
  return {std::move(byHand), {}};
}

Remedy RemoveUserKey(const std::wstring& keyBelowClasses, const std::wstring& what) {
  Repair repair{RepairKind::kRemoveKey, {}, {KeyPlace(kHkeyCurrentUser, kClassesKey + keyBelowClasses)}};
  return {CommandOf(repair) + what + kRestart, std::move(repair)};
}

Remedy WriteApproval(const DoctorContext& context) {
  Repair repair{
      RepairKind::kWriteText, Utf16(kHandlerName), {{kHkeyLocalMachine, Utf16(kApprovedKey), Utf16(context.clsid)}}};
  return {CommandOf(repair) + L" (as administrator)" + kRestart, std::move(repair)};
}

Remedy RegisterPackage(const DoctorContext& context) {
  const std::wstring packageFile = BesideDll(context.dll, kPackageFile);
  if (::GetFileAttributesW(packageFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return InstallAgain(context, L"install " + std::wstring(kPackageFile) + L" of this release beside " + context.dll +
                                     L", then register it: " + RegisterPackageCommand(packageFile));
  }
  if (ReadOnlyAsFile(context, context.dll)) {  // its external location would serve that DLL to Explorer
    return {
        L"install the product where only administrators may write (the installer's folder) and register its "
        L"package there (--fix does not register " +
            packageFile + L", whose DLL others than administrators may change)",
        {}};
  }
  Repair repair{RepairKind::kRegisterPackage, Utf16(packageFile), {}};
  return {CommandOf(repair) + L" (for this user), then restart Explorer", std::move(repair)};
}

Remedy AdministratorsDecision(std::wstring text) { return {std::move(text), {RepairKind::kAdministrators, {}, {}}}; }

}  // namespace torvo::doctor
