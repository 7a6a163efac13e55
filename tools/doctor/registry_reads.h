#pragma once
// The registry reads of torvo-doctor, through the same registry adapter as the script engine.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32/win32_registry.h"
#include "registrar/registry_difference.h"

namespace torvo::doctor {

class RegistryReader {
 public:
  // The value's type and bytes; nothing when the key or the value is missing or cannot be read.
  std::optional<EncodedValue> Value(RegKey root, const std::wstring& path, const wchar_t* name);
  // A REG_SZ or REG_EXPAND_SZ value (the latter expanded) without its terminating zeros.
  std::optional<std::wstring> Text(RegKey root, const std::wstring& path, const wchar_t* name);
  // A REG_DWORD value.
  std::optional<std::uint32_t> Dword(RegKey root, const std::wstring& path, const wchar_t* name);
  bool KeyExists(RegKey root, const std::wstring& path);
  // A text of the classes view as Windows merges it: HKCU\Software\Classes first, then
  // HKLM\Software\Classes. (Wine's HKCR holds the machine's classes only.) `fromUser` tells which.
  std::optional<std::wstring> ClassesText(const std::wstring& path, const wchar_t* name, bool* fromUser = nullptr);

  Registry& Adapter() { return registry_; }

 private:
  win32::Win32Registry registry_;
};

inline constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";

}  // namespace torvo::doctor
