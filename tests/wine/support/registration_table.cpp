#include "tests/wine/support/registration_table.h"

#include <vector>

#include "platform/win32/unique_handle.h"
#include "tests/wine/support/server_dll.h"

namespace torvo::wine {

ClassesRoot MachineClasses() { return {HKEY_LOCAL_MACHINE, L"Software\\Classes\\"}; }
ClassesRoot UserClasses() { return {HKEY_CURRENT_USER, L"Software\\Classes\\"}; }

namespace {

// Deletes the subkeys `names` (with their subtrees) of `path` below `root`, in the registry view `view`.
void DeleteBelow(HKEY root, const std::wstring& path, REGSAM view, const std::vector<std::wstring>& names) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  const win32::UniqueRegKey owner(key);
  for (const std::wstring& name : names) ::RegDeleteTreeW(key, name.c_str());
}

}  // namespace

std::vector<std::wstring> RegistrationClassesKeys() {
  std::vector<std::wstring> keys = {L"AppID\\{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}",
                                    L"AppID\\TorvoShellMenu.DLL",
                                    L"TorvoShellMenu.TorvoShellContextMenu.1",
                                    L"TorvoShellMenu.TorvoShellContextMenu",
                                    L"CLSID\\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}",
                                    L"CLSID\\{2D93C6E4-B751-4F2A-8C09-6A1E5F37D2B0}",
                                    L"Interface\\{2D93C6E4-B751-4F2A-8C09-6A1E5F37D2B0}",
                                    L"TypeLib\\{8E47A1D9-3F62-4C05-A7B3-91D6E2F04B88}"};
  for (const wchar_t* kind : kHandlerClasses) {
    keys.push_back(std::wstring(kind) + L"\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt");
  }
  return keys;
}

void RemoveAllRegistrations() {
  const std::vector<std::wstring> classesKeys = RegistrationClassesKeys();
  // Both builds' registrations: the 64-bit and the 32-bit registry view.
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    for (const ClassesRoot& classes : {MachineClasses(), UserClasses()}) {
      DeleteBelow(classes.root, L"Software\\Classes", view, classesKeys);
    }
    DeleteBelow(HKEY_LOCAL_MACHINE, kApprovedKey, view, {L"ZebTorvoShellExt"});
    HKEY approved = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE | view, &approved) == ERROR_SUCCESS) {
      ::RegDeleteValueW(approved, kApprovalValue);
      ::RegCloseKey(approved);
    }
  }
}

}  // namespace torvo::wine
