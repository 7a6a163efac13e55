#pragma once
// Windows 11's sparse package as this user has it, asked through System32's powershell.exe (the
// Appx cmdlets and the PackageManager class): a documented means, bounded in time, that needs no
// rights beyond the user's.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvo::doctor {

inline constexpr wchar_t kPackageName[] = L"ZebTorvo.TorvoShellMenu";
inline constexpr wchar_t kPackageFile[] = L"TorvoShellMenu.msix";
inline constexpr std::uint32_t kWindows11Build = 22000;

// CurrentBuildNumber of HKLM\Software\Microsoft\Windows NT\CurrentVersion, as the installer reads it.
std::optional<std::uint32_t> WindowsBuild();

// Whether the installer recorded the administrator's WINDOWS11_MENU=0 (Windows11Menu under
// HKLM\Software\ZebTorvo\TorvoShellMenu, which the installer writes and reads back).
bool MenuTurnedOff();

// One package of that name registered for this user.
struct RegisteredPackage {
  std::wstring version;           // "1.3.0.1001"
  std::wstring externalLocation;  // the folder its manifest's files are in; empty when it has none
};

struct PackageAnswer {
  std::optional<std::wstring> failure;  // why there is no answer: no powershell.exe, no answer in time, ...
  std::vector<RegisteredPackage> packages;
};

// The packages named kPackageName registered for this user.
PackageAnswer RegisteredPackages();

// Registers the package file for this user with its folder as the external location, replacing a
// registration of another version or location: powershell.exe's exit code, or a Win32 error when
// it did not run or end in time.
std::uint32_t RegisterPackageForUser(const std::wstring& packageFile);

// What a person types for it.
std::wstring RegisterPackageCommand(const std::wstring& packageFile);

}  // namespace torvo::doctor
