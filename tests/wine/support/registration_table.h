#pragma once
// What a registration of TorvoShellMenu.dll leaves in the registry, and a clean slate for tests.
#include <windows.h>

#include <string>
#include <vector>

namespace torvo::wine {

// Where the classes keys go: HKLM\Software\Classes machine-wide, HKCU\Software\Classes per user.
struct ClassesRoot {
  HKEY root;
  std::wstring prefix;  // "Software\\Classes\\"
};
ClassesRoot MachineClasses();
ClassesRoot UserClasses();

inline constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr wchar_t kApprovedHandlerKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\ZebTorvoShellExt";
// The approval the shell honours: a value of the Approved key named by the class.
inline constexpr wchar_t kApprovalValue[] = L"{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}";
inline constexpr const wchar_t* kHandlerClasses[] = {L"*", L"lnkfile", L"InternetShortcut", L"Directory"};

// The keys below Software\\Classes that a registration of either build writes (the handler keys
// below each of kHandlerClasses among them).
std::vector<std::wstring> RegistrationClassesKeys();

// Removes everything a registration of either build may have left, in both classes roots and both
// registry views.
void RemoveAllRegistrations();

}  // namespace torvo::wine
