#include "server/type_library_registration.h"

#include <oleauto.h>

#include <string>

#include "platform/win32/bstr.h"
#include "platform/win32/com_ptr.h"
#include "registrar/register_mode.h"
#include "server/number_text.h"

namespace torvo::server {

namespace {

using win32::Bstr;
using RegisterForUserFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The library loaded from the DLL's own file, or from a .tlb of the same name; `path` receives
// the path that loaded.
HRESULT LoadOwnTypeLibrary(HINSTANCE module, win32::ComPtr<ITypeLib>& library, Bstr& path) {
  wchar_t file[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(module, file, MAX_PATH);
  if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
  if (length == MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  wchar_t* extension = nullptr;
  for (wchar_t* p = file; *p != L'\0'; ++p) {
    if (*p == L'\\') extension = nullptr;
    if (*p == L'.') extension = p;
  }
  HRESULT hr = ::LoadTypeLib(file, library.Put());
  if (FAILED(hr)) {
    if (extension == nullptr) extension = file + length;
    if ((extension - file) + 5 > MAX_PATH) return E_FAIL;
    ::lstrcpyW(extension, L".tlb");
    hr = ::LoadTypeLib(file, library.Put());
    if (FAILED(hr)) return hr;
  }
  path.Reset(::SysAllocString(file));
  return path.Get() != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The id, version, locale and machine of the DLL's own library.
HRESULT ReadOwnLibraryAttributes(HINSTANCE module, TLIBATTR& out) {
  win32::ComPtr<ITypeLib> library;
  Bstr path;
  HRESULT hr = LoadOwnTypeLibrary(module, library, path);
  if (FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  hr = library->GetLibAttr(&attributes);
  if (FAILED(hr)) return hr;
  out = *attributes;
  library->ReleaseTLibAttr(attributes);
  return S_OK;
}

// A per-user function of OLEAUT32 when the per-user mode asks for it and it is there, else null.
template <class Fn>
Fn PerUserFunction(const char* name) {
  if (!g_registerPerUser) return nullptr;
  HMODULE oleaut = ::GetModuleHandleW(L"OLEAUT32.DLL");
  if (oleaut == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(oleaut, name)));
}

// A number as the type library's keys name its version and locale: "1.0", "409".
std::wstring Hex(unsigned long number) { return NumberText(number, 16); }

}  // namespace

HRESULT RegisterTypeLibrary(HINSTANCE module) {
  win32::ComPtr<ITypeLib> library;
  Bstr path;
  HRESULT hr = LoadOwnTypeLibrary(module, library, path);
  if (FAILED(hr)) return hr;
  Bstr helpFile;
  wchar_t helpDirectory[MAX_PATH] = {};
  wchar_t* helpDirectoryArgument = nullptr;
  if (SUCCEEDED(library->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.Put())) &&
      helpFile.Get() != nullptr) {
    ::lstrcpynW(helpDirectory, helpFile.Get(), MAX_PATH);
    wchar_t* cut = nullptr;
    for (wchar_t* p = helpDirectory; *p != L'\0'; ++p) {
      if (*p == L'\\' || *p == L'/' || *p == L':') cut = p + 1;
    }
    if (cut != nullptr) *cut = L'\0';
    helpDirectoryArgument = helpDirectory;
  }
  if (auto forUser = PerUserFunction<RegisterForUserFn>("RegisterTypeLibForUser")) {
    return forUser(library.Get(), path.Get(), helpDirectoryArgument);
  }
  return ::RegisterTypeLib(library.Get(), path.Get(), helpDirectoryArgument);
}

HRESULT UnregisterTypeLibrary(HINSTANCE module) {
  TLIBATTR a{};
  const HRESULT hr = ReadOwnLibraryAttributes(module, a);
  if (FAILED(hr)) return hr;
  if (auto forUser = PerUserFunction<UnregisterForUserFn>("UnRegisterTypeLibForUser")) {
    return forUser(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
  }
  return ::UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

HRESULT UnregisterOwnTypeLibraryEntry(HINSTANCE module) {
  TLIBATTR a{};
  const HRESULT hr = ReadOwnLibraryAttributes(module, a);
  if (FAILED(hr)) return hr;
  wchar_t libraryId[40] = {};
  ::StringFromGUID2(a.guid, libraryId, 40);
  const std::wstring key = L"TypeLib\\" + std::wstring(libraryId) + L"\\" + Hex(a.wMajorVerNum) + L"." +
                           Hex(a.wMinorVerNum) + L"\\" + Hex(a.lcid) +
                           (a.syskind == SYS_WIN64 ? L"\\win64" : L"\\win32");
  const LSTATUS deleted = ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return deleted == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(deleted);
}

}  // namespace torvo::server
