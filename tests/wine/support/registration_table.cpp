#include "tests/wine/support/registration_table.h"

#include "tests/wine/support/server_dll.h"

namespace torvo::wine {

ClassesRoot MachineClasses() { return {HKEY_LOCAL_MACHINE, L"Software\\Classes\\"}; }
ClassesRoot UserClasses() { return {HKEY_CURRENT_USER, L"Software\\Classes\\"}; }

void RemoveAllRegistrations() {
  for (const ClassesRoot& classes : {MachineClasses(), UserClasses()}) {
    const std::wstring& p = classes.prefix;
    for (const wchar_t* key :
         {L"AppID\\{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}", L"AppID\\TorvoShellMenu.DLL",
          L"TorvoShellMenu.TorvoShellContextMenu.1", L"TorvoShellMenu.TorvoShellContextMenu",
          L"CLSID\\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}", L"CLSID\\{2D93C6E4-B751-4F2A-8C09-6A1E5F37D2B0}",
          L"Interface\\{2D93C6E4-B751-4F2A-8C09-6A1E5F37D2B0}", L"TypeLib\\{8E47A1D9-3F62-4C05-A7B3-91D6E2F04B88}"}) {
      DeleteTree(classes.root, p + key);
    }
    for (const wchar_t* kind : kHandlerClasses) {
      DeleteTree(classes.root, p + kind + L"\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt");
    }
  }
  DeleteTree(HKEY_LOCAL_MACHINE, kApprovedHandlerKey);
  ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApprovedKey, kApprovalValue);
}

}  // namespace torvo::wine
