// volatile_registration.dll: a COM server whose registration writes its class key, which the
// registry keeps, and below it one key that a restart of the registry loses (volatile). The release's
// harvest must refuse it: an installer made of its rows would write a key Windows never had after
// its next start.
#include <windows.h>

namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{7D1E8C42-5A36-4F0B-9E21-C4B8D3A61F07}";
HMODULE g_module = nullptr;

LONG WriteKey(const wchar_t* below, DWORD options, const wchar_t* value, const wchar_t* text) {
  wchar_t path[256] = {};
  ::lstrcpyW(path, kClassKey);
  ::lstrcatW(path, below);
  HKEY key = nullptr;
  LONG status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, options, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = ::RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return status;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(g_module, path, MAX_PATH);
  if (WriteKey(L"\\InprocServer32", REG_OPTION_NON_VOLATILE, nullptr, path) != ERROR_SUCCESS ||
      WriteKey(L"\\Session", REG_OPTION_VOLATILE, L"Started", L"this session") != ERROR_SUCCESS) {
    return E_FAIL;
  }
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  return ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey) == ERROR_SUCCESS ? S_OK : S_FALSE;
}
extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** out) {
  *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
