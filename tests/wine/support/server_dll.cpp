#include "tests/wine/support/server_dll.h"

#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/shell_items.h"

namespace torvo::wine {

std::wstring ServerDllPath() { return ProgramFolder() + L"" TORVO_DLL_FILE_NAME; }

ServerDll::ServerDll(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {}

FARPROC ServerDll::Export(const char* name) const { return ::GetProcAddress(module_.Get(), name); }

HRESULT ServerDll::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  using Fn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export("DllGetClassObject")))(clsid, iid, out);
}

HRESULT CanUnloadNowOf(HMODULE server) {
  using Fn = HRESULT(WINAPI*)();
  const auto canUnload = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(server, "DllCanUnloadNow")));
  return canUnload != nullptr ? canUnload() : E_NOINTERFACE;
}

HRESULT ServerDll::CanUnloadNow() const { return CanUnloadNowOf(module_.Get()); }

HRESULT ServerDll::RegisterServer() const {
  using Fn = HRESULT(WINAPI*)();
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export("DllRegisterServer")))();
}

HRESULT ServerDll::UnregisterServer() const {
  using Fn = HRESULT(WINAPI*)();
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export("DllUnregisterServer")))();
}

HRESULT ServerDll::Install(BOOL install, const wchar_t* commandLine) const {
  using Fn = HRESULT(WINAPI*)(BOOL, LPCWSTR);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Export("DllInstall")))(install, commandLine);
}

ProgramRun RunRegsvr32(const std::wstring& switches, const std::wstring& dllPath) {
  return RunProgram(L"regsvr32.exe /s " + switches + L" \"" + dllPath + L"\"");
}

std::wstring Win32DllPath() {
  std::wstring path = L"" TORVO_WIN32_DLL;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

ProgramRun RunRegsvr32Of32Bit(const std::wstring& switches) {
  return RunProgram(L"C:\\windows\\syswow64\\regsvr32.exe /s " + switches + L" \"" + Win32DllPath() + L"\"");
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

bool ReadRegString(HKEY root, const std::wstring& path, const std::wstring& value, std::wstring& out, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  const win32::UniqueRegKey owner(key);
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (::RegGetValueW(key, nullptr, value.empty() ? nullptr : value.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return false;
  }
  out = buffer;
  return true;
}

std::vector<std::wstring> Subkeys(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  win32::UniqueRegKey owner(key);
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  return names;
}

void CreateKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    ::RegCloseKey(key);
  }
}

void DeleteTree(HKEY root, const std::wstring& path) { ::RegDeleteTreeW(root, path.c_str()); }

}  // namespace torvo::wine
