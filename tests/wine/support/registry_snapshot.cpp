#include "tests/wine/support/registry_snapshot.h"

#include <cwchar>

#include "platform/win32/unique_handle.h"

namespace torvo::wine {

namespace {

void AppendValues(HKEY key, std::wstring& text) {
  std::wstring name(16384, L'\0');
  std::vector<BYTE> data;
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = 0;
    if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
    data.resize(size);
    nameLength = static_cast<DWORD>(name.size());
    if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return;
    text.append(L"  ").append(name.data(), nameLength).append(L" = ").append(std::to_wstring(type)).append(L":");
    for (DWORD b = 0; b < size; ++b) {
      wchar_t hex[4];
      std::swprintf(hex, 4, L"%02x", data[b]);
      text += hex;
    }
    text += L'\n';
  }
}

void AppendTree(HKEY root, const std::wstring& path, REGSAM view, std::wstring& text) {
  win32::UniqueRegKey key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return;
  text.append(L"[").append(path).append(L"]\n");
  AppendValues(key.Get(), text);
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (::RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
    AppendTree(root, path + L"\\" + name, view, text);
  }
}

}  // namespace

std::wstring RegistrySnapshot(const std::vector<RegistryPlace>& places) {
  std::wstring text;
  for (const RegistryPlace& place : places) {
    text.append(place.root == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU")
        .append(place.view == KEY_WOW64_32KEY ? L" (32-bit view) " : L" ");
    AppendTree(place.root, place.path, place.view, text);
  }
  return text;
}

}  // namespace torvo::wine
