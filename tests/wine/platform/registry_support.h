#pragma once
// Reading back and cleaning up the real registry in the registrar's Wine tests.
#include <windows.h>

#include <string>
#include <vector>

namespace torvo::wine {

// The scratch key every registrar test writes below, in HKEY_CURRENT_USER.
inline constexpr wchar_t kScratchKey[] = L"Software\\TorvoTest";

struct RawValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

// RegQueryValueExW on `root`\`path`: the value's type and bytes exactly as stored.
inline RawValue ReadValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  RawValue value;
  HKEY key = nullptr;
  value.status = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (value.status != ERROR_SUCCESS) return value;
  DWORD size = 0;
  value.status = ::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
  if (value.status == ERROR_SUCCESS) {
    value.bytes.resize(size);
    value.status = ::RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(size);
  }
  ::RegCloseKey(key);
  return value;
}

// The text of a REG_SZ value without its terminator; "(missing)" when it cannot be read.
inline std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name) {
  const RawValue value = ReadValue(root, path, name);
  if (value.status != ERROR_SUCCESS || value.type != REG_SZ || value.bytes.size() < 2) return L"(missing)";
  std::wstring text(value.bytes.size() / 2, L'\0');
  std::copy(value.bytes.begin(), value.bytes.end(), reinterpret_cast<BYTE*>(text.data()));
  if (text.back() != L'\0') return L"(unterminated)";
  text.pop_back();
  return text;
}

inline bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// The bytes of UTF-16 text, terminator included.
inline std::vector<BYTE> Utf16Bytes(const std::wstring& text) {
  const auto* first = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(first, first + (text.size() + 1) * sizeof(wchar_t));
}

}  // namespace torvo::wine
