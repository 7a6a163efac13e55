#pragma once
// The checks of torvo-doctor, in the order of its report. Each only reads: nothing is registered,
// repaired or written, and the agent is asked for its vault letter (1005) only, never whether it is
// ready (1004), whose answer may make it act.
#include <string>
#include <vector>

#include "tools/doctor/findings.h"

namespace torvo::doctor {

inline constexpr wchar_t kDllName[] = L"TorvoShellMenu.dll";
// The name under which the scripts list the handler in ContextMenuHandlers and in Approved.
inline constexpr wchar_t kHandlerName[] = L"ZebTorvoShellExt";

struct DoctorContext {
  std::wstring dll;          // the DLL's full path
  std::wstring dllOrigin;    // how it was found: "given with --dll", "registered for this user", ...
  bool dllReadable = false;  // the DLL file checks passed, so its scripts can be read
  std::wstring clsid;        // the handler's class, "{5B0D2E71-...}"
};

// The DLL: --dll, else the class's InprocServer32 per user, then machine-wide (as the shell looks
// it up), else TorvoShellMenu.dll beside torvo-doctor.exe.
DoctorContext FindDll(const std::wstring& givenPath);

// The file exists, is a 64-bit image, loads as a data file and exports the five entry points;
// sets context.dllReadable.
void CheckDllFile(DoctorContext& context, Report& report);

// The DLL's two scripts in the check walk with the DLL's substitutions, machine-wide (HKCR read as
// HKLM\Software\Classes) and per user (HKCR blocks under HKCU\Software\Classes).
void CheckRegistration(const DoctorContext& context, Report& report);

// The approval entry, the Blocked lists of HKLM and HKCU, the EnforceShellExtensionSecurity policy.
void CheckShellPolicy(const DoctorContext& context, Report& report);

// The handler created in this 64-bit process as the shell creates it, asked for IShellExtInit and
// IContextMenu.
void CheckHandlerCreation(const DoctorContext& context, Report& report);

// The type library's registration and the proxy/stub's.
void CheckTypeLibraryAndProxy(const DoctorContext& context, Report& report);

// The agent's window and vault letter, the vault root; then for each path whether the item would
// be offered, decided by the handler's own code.
void CheckAgentAndPaths(const DoctorContext& context, const std::vector<std::wstring>& paths, Report& report);

}  // namespace torvo::doctor
