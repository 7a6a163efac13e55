// Where the DLL is and whether its file is one that 64-bit Explorer can load.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TorvoShellMenu.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_file_mover.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/reads/process_token.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/file_identity.h"
#include "tools/doctor/reads/native_machine.h"
#include "tools/doctor/reads/object_security.h"
#include "tools/doctor/reads/pe_image.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

constexpr const char* kEntryPoints[] = {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                                        "DllUnregisterServer", "DllInstall"};
// Larger files are no DLL of this project; they are not read into memory.
constexpr LONGLONG kLargestFile = 256LL * 1024 * 1024;

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring own(path, length);
  return own.substr(0, own.find_last_of(L'\\') + 1);
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  const win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kLargestFile) return false;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (bytes.empty()) return true;
  return ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

std::wstring MissingEntryPoints(const PeImage& image) {
  std::wstring missing;
  for (const char* name : kEntryPoints) {
    if (std::find(image.exports.begin(), image.exports.end(), name) != image.exports.end()) continue;
    missing += (missing.empty() ? L"" : L", ") + std::wstring(name, name + std::char_traits<char>::length(name));
  }
  return missing;
}

}  // namespace

std::optional<std::wstring> FileFault(const std::wstring& path, bool thirtyTwoBit) {
  if (!win32::Win32FileMover().PathExists(win32::AsUtf16(path.c_str()))) return L"does not exist";
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return L"cannot be read";
  const std::optional<PeImage> image = ReadPeImage(bytes);
  if (!image) return L"is no Windows image file";
  if (thirtyTwoBit && !image->Is32Bit()) return L"is no 32-bit (x86) image: 32-bit programs load 32-bit handlers only";
  const std::uint16_t native = NativeMachine();
  if (!thirtyTwoBit && !image->Is64BitFor(native)) {
    const std::string machine = MachineName(native);
    const std::string why = ForeignImageText(*image, native) + ": Explorer on this " + machine + " machine loads " +
                            machine + " handlers only";
    return std::wstring(why.begin(), why.end());
  }
  const win32::UniqueLibrary data(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!data) return L"cannot be loaded as a data file: " + StatusText(HRESULT_FROM_WIN32(::GetLastError()));
  const std::wstring missing = MissingEntryPoints(*image);
  if (!missing.empty()) return L"does not export " + missing;
  return std::nullopt;
}

namespace {

ClassRegistration ReadRegistration(RegistryReader& reader, RegKey root, const std::wstring& clsid) {
  const std::wstring key = kClassesKey + (L"CLSID\\" + clsid + L"\\InprocServer32");
  ClassRegistration registration{reader.KeyExists(root, key), reader.Text(root, key, nullptr).value_or(L""), {}};
  if (registration.present) registration.fault = FileFault(registration.server);
  return registration;
}

// What makes the per-user InprocServer32 worse than the intact machine-wide one it hides ("names
// C:\old\TorvoShellMenu.dll, which does not exist"), or nothing.
std::optional<std::wstring> StaleAgainst(const ClassRegistration& user, const ClassRegistration& machine) {
  if (!machine.present || machine.fault) return std::nullopt;
  if (user.server.empty()) return L"names no file";
  if (SameFile(user.server, machine.server)) return std::nullopt;
  if (user.fault) return L"names " + user.server + L", which " + *user.fault;
  const auto userVersion = FileVersion(user.server);
  const auto machineVersion = FileVersion(machine.server);
  if (!userVersion || !machineVersion || *userVersion >= *machineVersion) return std::nullopt;
  return L"names " + user.server + L", an older copy (" + VersionText(*userVersion) + L" against " +
         VersionText(*machineVersion) + L")";
}

}  // namespace

bool NamedByUserAlone(const DoctorContext& context, const std::wstring& dll) {
  return context.user.present && SameFile(dll, context.user.server) &&
         !(context.machine.present && SameFile(dll, context.machine.server));
}

std::optional<std::wstring> NotLoadedWhenElevated(const DoctorContext& context, const std::wstring& dll) {
  if (!context.elevated || (context.dllGiven && SameFile(dll, context.dll))) return std::nullopt;
  if (context.machine.present && SameFile(dll, context.machine.server)) return std::nullopt;
  const std::optional<std::wstring> writer = OtherWriterOf(dll);
  if (!writer) return std::nullopt;
  const std::wstring readAsFile = L" (" + *writer + L"), is read as a file only. ";
  if (NamedByUserAlone(context, dll)) {
    return L"not loaded: this doctor runs elevated, and elevated programs do not use per-user classes; " + dll +
           L", named by this user's classes alone" + readAsFile +
           L"To check the user's registration as it loads, run torvo-doctor without elevation";
  }
  return L"not loaded: this doctor runs elevated, and " + dll +
         L", named neither by the machine's registration nor with --dll and in a place others than "
         L"administrators may change" +
         readAsFile +
         L"Install it where only administrators may write (the installer's folder), register it machine-wide, "
         L"or name it with --dll";
}

bool ReadOnlyAsFile(const DoctorContext& context, const std::wstring& dll) {
  return NotLoadedWhenElevated(context, dll).has_value();
}

DoctorContext FindDll(const std::wstring& givenPath) {
  DoctorContext context;
  context.clsid = GuidText(CLSID_TorvoShellContextMenu);
  context.elevated = RunsElevated();
  RegistryReader reader;
  context.user = ReadRegistration(reader, kHkeyCurrentUser, context.clsid);
  context.machine = ReadRegistration(reader, kHkeyLocalMachine, context.clsid);
  if (!givenPath.empty()) {
    context.dll = FullPath(givenPath);
    context.dllOrigin = L"given with --dll";
    context.dllGiven = true;
  } else if (context.user.present) {  // COM reads the user's registration first
    const auto stale = StaleAgainst(context.user, context.machine);
    context.staleUser = stale;
    context.dll = stale ? context.machine.server : context.user.server;
    context.dllOrigin = stale ? L"registered machine-wide" : L"registered for this user";
  } else if (context.machine.present) {
    context.dll = context.machine.server;
    context.dllOrigin = L"registered machine-wide";
  } else {
    context.dll = OwnFolder() + kDllName;
    context.dllOrigin = L"beside torvo-doctor.exe; the class names no DLL";
  }
  return context;
}

void CheckDllFile(DoctorContext& context, const NamedPaths&, Report& report) {
  if (context.staleUser) {
    const std::wstring key = L"HKCU\\Software\\Classes\\CLSID\\" + context.clsid;
    report.Problem(L"registration per user",
                   key + L"\\InprocServer32 " + *context.staleUser +
                       L"; COM reads this per-user registration first, so it hides the intact machine-wide "
                       L"registration of " +
                       context.machine.server,
                   RemoveUserKey(L"CLSID\\" + context.clsid, L" (the per-user registration)"));
  }
  const std::wstring described = context.dll + L" (" + context.dllOrigin + L")";
  const std::optional<std::wstring> fault = FileFault(context.dll);
  context.dllReadable = !fault;
  if (fault) {
    const std::string machine = MachineName(NativeMachine());
    report.Problem(
        L"dll", described + L" " + *fault,
        InstallAgain(context, L"install TorvoShellMenu.dll for " + std::wstring(machine.begin(), machine.end()) +
                                  L" again (the package of this machine), then register it where it is: "
                                  L"regsvr32 " +
                                  Quoted(context.dll)));
    return;
  }
  report.Ok(L"dll", described + L": a 64-bit image that loads as a data file and exports the five entry points");
}

}  // namespace torvo::doctor
