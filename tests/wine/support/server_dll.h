#pragma once
// TorvoShellMenu.dll as a test process sees it: loaded beside the test program, its exports,
// regsvr32 runs, and reads of the registry that registration leaves.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "tests/wine/support/program_run.h"

namespace torvo::wine {

inline constexpr wchar_t kClsidText[] = L"{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}";
inline constexpr wchar_t kIidText[] = L"{2D93C6E4-B751-4F2A-8C09-6A1E5F37D2B0}";
inline constexpr wchar_t kLibIdText[] = L"{8E47A1D9-3F62-4C05-A7B3-91D6E2F04B88}";
inline constexpr wchar_t kAppIdText[] = L"{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}";

// The machine of this build's type library: its key below TypeLib\{LIBID}\1.0\0, and its kind.
#ifdef _WIN64
inline constexpr wchar_t kTypeLibPlatform[] = L"win64";
inline constexpr SYSKIND kTypeLibKind = SYS_WIN64;
#else
inline constexpr wchar_t kTypeLibPlatform[] = L"win32";
inline constexpr SYSKIND kTypeLibKind = SYS_WIN32;
#endif

// The DLL of this build beside the running test program: TorvoShellMenu.dll, or TorvoShellMenu32.dll
// in the 32-bit tree.
std::wstring ServerDllPath();

// The DllCanUnloadNow answer of a loaded server; E_NOINTERFACE when it exports none.
HRESULT CanUnloadNowOf(HMODULE server);

// Asks `done` every few milliseconds until it holds; false when `timeoutMs` passed first.
template <class Condition>
bool WaitUntil(Condition done, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(20);
  }
  return true;
}

// WaitUntil for an assertion: a failure names what was waited for and how long.
template <class Condition>
::testing::AssertionResult WaitFor(const char* what, Condition done, DWORD timeoutMs) {
  if (WaitUntil(done, timeoutMs)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "waited " << timeoutMs / 1000.0 << " s for " << what << " in vain";
}

// The DLL loaded into this process with its exports.
class ServerDll {
 public:
  explicit ServerDll(const std::wstring& path = ServerDllPath());
  ServerDll(const ServerDll&) = delete;
  ServerDll& operator=(const ServerDll&) = delete;

  bool Loaded() const { return static_cast<bool>(module_); }
  HMODULE Module() const { return module_.Get(); }
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer() const;
  HRESULT UnregisterServer() const;
  HRESULT Install(BOOL install, const wchar_t* commandLine) const;

 private:
  FARPROC Export(const char* name) const;
  win32::UniqueLibrary module_;
};

// regsvr32 with the switches and the DLL path (quoted); exit code 0 on success.
ProgramRun RunRegsvr32(const std::wstring& switches, const std::wstring& dllPath = ServerDllPath());
// The 32-bit tree's TorvoShellMenu32.dll, which the 64-bit tree's tests register beside their own
// DLL; and the 32-bit regsvr32 (SysWOW64) with the switches and that DLL.
std::wstring Win32DllPath();
ProgramRun RunRegsvr32Of32Bit(const std::wstring& switches);

// Registry reads: whether a key exists, its string value (empty name = default), its subkeys. `view`
// (KEY_WOW64_32KEY or KEY_WOW64_64KEY) reads another registry view than the program's own.
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
bool ReadRegString(HKEY root, const std::wstring& path, const std::wstring& value, std::wstring& out, REGSAM view = 0);
std::vector<std::wstring> Subkeys(HKEY root, const std::wstring& path);
void CreateKey(HKEY root, const std::wstring& path);
void DeleteTree(HKEY root, const std::wstring& path);

}  // namespace torvo::wine
