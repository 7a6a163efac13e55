#pragma once
// The checks of torvo-doctor, in the order of its report. Each only reads: nothing is registered,
// repaired or written, and the agent is asked for its vault letter (1005) only, never whether it is
// ready (1004), whose answer may make it act.
#include <optional>
#include <string>
#include <vector>

#include "tools/doctor/findings.h"

namespace torvo::doctor {

inline constexpr wchar_t kDllName[] = L"TorvoShellMenu.dll";
// The name under which the scripts list the handler in ContextMenuHandlers and in Approved.
inline constexpr wchar_t kHandlerName[] = L"ZebTorvoShellExt";
// Where the shell reads approvals, below HKLM or HKCU.
inline constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// The kinds of item whose menus the handler joins, each through its ContextMenuHandlers key.
struct HandlerKind {
  const wchar_t* key;   // below the classes root
  const wchar_t* what;  // what the user right-clicks
};
inline constexpr HandlerKind kHandlerKinds[] = {{L"*", L"files"},
                                                {L"Directory", L"folders"},
                                                {L"lnkfile", L"shortcuts"},
                                                {L"InternetShortcut", L"Internet shortcuts"}};
// "<kind>\ShellEx\ContextMenuHandlers\ZebTorvoShellExt", below the classes root.
inline std::wstring HandlerKey(const HandlerKind& kind) {
  return std::wstring(kind.key) + L"\\ShellEx\\ContextMenuHandlers\\" + kHandlerName;
}

// The full path of the program `name` in the folder of the DLL at `dll`.
inline std::wstring BesideDll(const std::wstring& dll, const std::wstring& name) {
  return dll.substr(0, dll.find_last_of(L'\\') + 1) + name;
}

// The product as its installer package installed it.
struct Installation {
  std::wstring productCode;  // "{...}"
  std::wstring version;      // the package's, "1.3.1001"
  std::wstring folder;       // where it installed the DLL
  std::wstring packageName;  // the package's file name, "TorvoShellMenu-1.3.0.1001-x64.msi"
  // Where Windows Installer looks for the package (its last used source first); whether one holds it.
  // A repair that rewrites a file needs it: Windows keeps a copy without the files, and a deployment
  // tool (Intune) deletes its own.
  std::vector<std::wstring> sources;
  bool sourceReachable = true;
};

// One way the class is registered: its InprocServer32 in the user's or the machine's classes.
struct ClassRegistration {
  bool present = false;               // CLSID\{...}\InprocServer32 exists there
  std::wstring server;                // its default value, REG_EXPAND_SZ expanded; empty when it has none
  std::optional<std::wstring> fault;  // what is wrong with that file ("does not exist", ...)
};

struct DoctorContext {
  std::wstring dll;           // the DLL's full path
  std::wstring dllOrigin;     // how it was found: "given with --dll", "registered for this user", ...
  bool dllGiven = false;      // named with --dll: every registration is checked against it
  bool dllReadable = false;   // the DLL file checks passed, so its scripts can be read
  std::wstring clsid;         // the handler's class, "{5B0D2E71-...}"
  ClassRegistration user;     // HKCU\Software\Classes
  ClassRegistration machine;  // HKLM\Software\Classes, the 64-bit view
  // The per-user registration names a missing, unusable or older copy and hides an intact
  // machine-wide one: what is wrong with it ("names C:\\old\\TorvoShellMenu.dll, which does not
  // exist"). `dll` is then the machine-wide file. Reported once, as one problem.
  std::optional<std::wstring> staleUser;
  // Installed by the installer package: its fixes that register again are the installer's repair.
  std::optional<Installation> installer;
  bool elevated = false;  // the doctor's token is elevated (process_token.h)
  // Windows 11's package is registered for this user and serves the DLL: its first menu shows the
  // Explorer command.
  bool packageRegistered = false;
};

// Whether the user's classes name `dll` and the machine's do not.
bool NamedByUserAlone(const DoctorContext& context, const std::wstring& dll);

// Why the doctor only reads `dll` as a file, never loads or registers it, or nothing when it may:
// it runs elevated, and `dll` is named neither with --dll nor by the machine's registration, and
// others than administrators may change it or its folder (object_security.h). Such a DLL is
// anybody's code: loading it would run that code as administrator. Elevated programs do not use
// per-user classes, so the user's registration alone unlocks nothing; nor does the folder of
// torvo-doctor.exe, which may be a download folder.
std::optional<std::wstring> NotLoadedWhenElevated(const DoctorContext& context, const std::wstring& dll);
bool ReadOnlyAsFile(const DoctorContext& context, const std::wstring& dll);

// The paths named on the command line: the items whose menus the user asks about.
using NamedPaths = std::vector<std::wstring>;

// The one shape of every check: it reads what it judges and adds its findings to the report, in
// the report's order (kChecks). The checks before it have filled the context: the installer check
// how the product was installed, the DLL file check whether the DLL's scripts can be read. The
// checks that judge items take the named paths; the others pass them by.
using Check = void (*)(DoctorContext& context, const NamedPaths& paths, Report& report);

// The DLL: --dll, else the class's InprocServer32 as COM finds it (the user's registration first,
// then the machine's; a stale per-user registration over an intact machine-wide one gives the
// machine's), else TorvoShellMenu.dll beside torvo-doctor.exe.
DoctorContext FindDll(const std::wstring& givenPath);

// Whether the installer package installed the product (found through Windows Installer by the
// package's upgrade code); sets context.installer.
void CheckInstaller(DoctorContext& context, const NamedPaths&, Report& report);

// The first thing that keeps 64-bit Explorer from loading the file as the handler ("does not
// exist", "is a 32-bit image ...", ...), or nothing; with thirtyTwoBit, what keeps 32-bit programs
// from loading it ("is no 32-bit (x86) image: ...").
std::optional<std::wstring> FileFault(const std::wstring& path, bool thirtyTwoBit = false);

// The file exists, is a 64-bit image, loads as a data file and exports the five entry points;
// sets context.dllReadable. Reports a stale per-user registration that hides the machine-wide one.
void CheckDllFile(DoctorContext& context, const NamedPaths&, Report& report);

// The DLL's two scripts in the check walk with the DLL's substitutions, machine-wide (HKCR read as
// HKLM\Software\Classes) and per user (HKCR blocks under HKCU\Software\Classes): the registration
// for 64-bit programs, Explorer among them.
void CheckRegistration(DoctorContext& context, const NamedPaths&, Report& report);

// The registration for 32-bit programs (their Open and Save dialogs): the class in the 32-bit
// registry view, the user's before the machine's, names a 32-bit TorvoShellMenu32.dll with the five
// entry points and an apartment threading model. The keys both views share are the 64-bit checks'.
void CheckRegistrationFor32BitPrograms(DoctorContext& context, const NamedPaths&, Report& report);

// The four ContextMenuHandlers keys (*, Directory, lnkfile, InternetShortcut) as Explorer reads them,
// the user's key before the machine's: a key of the user's that names another class hides a good
// machine-wide one.
void CheckHandlerKeys(DoctorContext& context, const NamedPaths&, Report& report);

// The approval entry, the Blocked lists of HKLM and HKCU, the EnforceShellExtensionSecurity policy.
void CheckShellPolicy(DoctorContext& context, const NamedPaths&, Report& report);

// The handler created in this 64-bit process as the shell creates it, asked for IShellExtInit and
// IContextMenu.
void CheckHandlerCreation(DoctorContext& context, const NamedPaths&, Report& report);

// The type library's registration and the proxy/stub's.
void CheckTypeLibraryAndProxy(DoctorContext& context, const NamedPaths&, Report& report);

// The agent's window and vault letter, the vault root; then for each path whether the item would
// be offered, decided by the handler's own code.
void CheckAgentAndPaths(DoctorContext& context, const NamedPaths& paths, Report& report);

// Windows 11's package (Windows 11 only): registered for this user, in the DLL's version, with the
// DLL's folder as its external location; sets context.packageRegistered.
void CheckWindows11Package(DoctorContext& context, const NamedPaths&, Report& report);

// The Explorer command of Windows 11's first menu, created from the DLL in this 64-bit process and
// asked for IExplorerCommand; its state for each path; and torvo-move.exe beside the DLL, which
// moves the items for it.
void CheckExplorerCommand(DoctorContext& context, const NamedPaths& paths, Report& report);

// Every check, in the order of the report.
inline constexpr Check kChecks[] = {
    CheckInstaller,     CheckDllFile,          CheckRegistration,    CheckRegistrationFor32BitPrograms,
    CheckHandlerKeys,   CheckShellPolicy,      CheckHandlerCreation, CheckTypeLibraryAndProxy,
    CheckAgentAndPaths, CheckWindows11Package, CheckExplorerCommand};

// The name of every check as the report prints it, in the report's order: the support desk's guide
// names each (docs/troubleshooting.md), and the doctor's tests find no other.
inline constexpr const wchar_t* kCheckNames[] = {L"installer",
                                                 L"dll",
                                                 L"registration machine-wide",
                                                 L"registration per user",
                                                 L"registration",
                                                 L"registration for 32-bit programs",
                                                 L"handler keys",
                                                 L"approval",
                                                 L"blocked",
                                                 L"policy",
                                                 L"handler",
                                                 L"type library",
                                                 L"proxy/stub",
                                                 L"agent",
                                                 L"path",
                                                 L"package",
                                                 L"explorer command",
                                                 L"mover"};

}  // namespace torvo::doctor
