#include "server/other_build.h"

#include <string>

#include "TorvoShellMenu.h"
#include "platform/win32/guid_text.h"
#include "platform/win32/unique_handle.h"
#include "registrar/register_mode.h"
#include "server/module_handles.h"

namespace torvo::server {

namespace {

// The view of the other build: the 32-bit one for the 64-bit DLL, and the other way round.
#ifdef _WIN64
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

// The key `path` below `root` in the other view, opened with `access`; none when it is missing.
win32::UniqueRegKey OpenInOtherView(HKEY root, const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, access | kOtherView, &key) != ERROR_SUCCESS) return {};
  return win32::UniqueRegKey(key);
}

// Whether the default value of `path` in the other view names a file other than this DLL (a text
// longer than any path of this DLL does).
bool NamesAnotherFile(HKEY root, const std::wstring& path) {
  const win32::UniqueRegKey key = OpenInOtherView(root, path, KEY_QUERY_VALUE);
  if (!key) return false;
  wchar_t named[MAX_PATH] = {};
  DWORD bytes = sizeof(named) - sizeof(wchar_t);
  DWORD type = 0;
  const LSTATUS read = ::RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(named), &bytes);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (read == ERROR_MORE_DATA) return true;
  if (read != ERROR_SUCCESS) return false;
  wchar_t own[MAX_PATH] = {};
  if (::GetModuleFileNameW(ResourceInstance(), own, MAX_PATH) == 0) return false;
  return ::lstrcmpiW(named, own) != 0;
}

}  // namespace

bool OtherBuildRegistered() {
  const HKEY root = g_registerPerUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  return NamesAnotherFile(
      root, L"Software\\Classes\\CLSID\\" + win32::GuidText(CLSID_TorvoShellContextMenu) + L"\\InprocServer32");
}

HRESULT RestoreOtherBuildsProxy() {
  const std::wstring iid = win32::GuidText(IID_ITorvoShellContextMenu);
  if (!NamesAnotherFile(HKEY_CLASSES_ROOT, L"CLSID\\" + iid + L"\\InprocServer32")) return S_OK;
  const win32::UniqueRegKey proxy =
      OpenInOtherView(HKEY_CLASSES_ROOT, L"Interface\\" + iid + L"\\ProxyStubClsid32", KEY_SET_VALUE);
  if (!proxy) return S_OK;
  const DWORD bytes = static_cast<DWORD>((iid.size() + 1) * sizeof(wchar_t));
  return HRESULT_FROM_WIN32(
      ::RegSetValueExW(proxy.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(iid.c_str()), bytes));
}

}  // namespace torvo::server
