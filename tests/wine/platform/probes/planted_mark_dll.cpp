// planted_mark.dll: a DLL another program might plant, with the five entry points of a COM server
// and nothing behind them. Loaded into a process, its entry point leaves torvo-planted.mark in the
// temporary folder.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH - 20, path);
  ::lstrcpyW(path + length, L"torvo-planted.mark");
  ::CloseHandle(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** out) {
  *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return E_FAIL; }
extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return E_FAIL; }
extern "C" __declspec(dllexport) HRESULT WINAPI DllInstall(BOOL, LPCWSTR) { return E_FAIL; }
