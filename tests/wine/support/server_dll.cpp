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

namespace {

// Runs the command line with the given start-up record (and handle inheritance when it hands
// standard handles over) and waits for the program's end.
DWORD RunWith(const std::wstring& commandLine, STARTUPINFOW& startup, DWORD timeoutMs) {
  std::wstring mutableLine = commandLine;
  startup.cb = sizeof(startup);
  const BOOL inherit = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr, &startup, &info)) {
    return 0xFFFFFFFF;
  }
  win32::UniqueHandle process(info.hProcess);
  win32::UniqueHandle thread(info.hThread);
  if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) return 0xFFFFFFFF;
  DWORD code = 0xFFFFFFFF;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

}  // namespace

DWORD RunProgram(const std::wstring& commandLine, DWORD timeoutMs) {
  STARTUPINFOW startup{};
  return RunWith(commandLine, startup, timeoutMs);
}

DWORD RunProgramCapturing(const std::wstring& commandLine, std::string& output, DWORD timeoutMs) {
  wchar_t folder[MAX_PATH] = {};
  wchar_t file[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  ::GetTempFileNameW(folder, L"out", 0, file);
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  DWORD code = 0xFFFFFFFF;
  {
    const win32::UniqueFile out(::CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return code;
    STARTUPINFOW startup{};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = out.Get();
    code = RunWith(commandLine, startup, timeoutMs);
  }
  output = FileBytes(file);
  ::DeleteFileW(file);
  return code;
}

DWORD RunRegsvr32(const std::wstring& switches, const std::wstring& dllPath) {
  return RunProgram(L"regsvr32.exe /s " + switches + L" \"" + dllPath + L"\"");
}

std::wstring Win32DllPath() {
  std::wstring path = L"" TORVO_WIN32_DLL;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

DWORD RunRegsvr32Of32Bit(const std::wstring& switches) {
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
