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
#include "tools/doctor/doctor_checks.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/pe_image.h"
#include "tools/doctor/registry_reads.h"

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

// The first thing wrong with the file, or nothing.
std::optional<std::wstring> FileFault(const std::wstring& path) {
  if (!win32::Win32FileMover().PathExists(win32::AsUtf16(path.c_str()))) return L"does not exist";
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return L"cannot be read";
  const std::optional<PeImage> image = ReadPeImage(bytes);
  if (!image) return L"is no Windows image file";
  if (!image->Is64Bit()) {
    wchar_t machine[8];
    ::wsprintfW(machine, L"0x%04X", image->machine);
    return std::wstring(L"is no 64-bit image (machine ") + machine + L"): 64-bit Explorer loads 64-bit handlers only";
  }
  const win32::UniqueLibrary data(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!data) return L"cannot be loaded as a data file: " + StatusText(HRESULT_FROM_WIN32(::GetLastError()));
  const std::wstring missing = MissingEntryPoints(*image);
  if (!missing.empty()) return L"does not export " + missing;
  return std::nullopt;
}

}  // namespace

DoctorContext FindDll(const std::wstring& givenPath) {
  DoctorContext context;
  context.clsid = GuidText(CLSID_TorvoShellContextMenu);
  if (!givenPath.empty()) {
    context.dll = FullPath(givenPath);
    context.dllOrigin = L"given with --dll";
    return context;
  }
  bool fromUser = false;
  if (const auto registered =
          RegistryReader().ClassesText(L"CLSID\\" + context.clsid + L"\\InprocServer32", nullptr, &fromUser)) {
    context.dll = *registered;
    context.dllOrigin = fromUser ? L"registered for this user" : L"registered machine-wide";
    return context;
  }
  context.dll = OwnFolder() + kDllName;
  context.dllOrigin = L"beside torvo-doctor.exe; the class names no DLL";
  return context;
}

void CheckDllFile(DoctorContext& context, Report& report) {
  const std::wstring described = context.dll + L" (" + context.dllOrigin + L")";
  const std::optional<std::wstring> fault = FileFault(context.dll);
  context.dllReadable = !fault;
  if (fault) {
    report.Problem(
        L"dll", described + L" " + *fault,
        L"install TorvoShellMenu.dll (64-bit) again, then register it where it is: regsvr32 " + Quoted(context.dll));
    return;
  }
  report.Ok(L"dll", described + L": a 64-bit image that loads as a data file and exports the five entry points");
}

}  // namespace torvo::doctor
