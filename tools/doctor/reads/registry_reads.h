#pragma once
// The registry reads of torvo-doctor, through the same registry adapter as the script engine.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32/win32_registry.h"
#include "registrar/registry_difference.h"

namespace torvo::doctor {

// A REG_SZ or REG_EXPAND_SZ value (the latter expanded in this process's environment) as text,
// without its terminating zeros; nothing for other types.
std::optional<std::wstring> ValueText(const EncodedValue& value);

class RegistryReader {
 public:
  // The value's type and bytes; nothing when the key or the value is missing or cannot be read.
  std::optional<EncodedValue> Value(RegKey root, const std::wstring& path, const wchar_t* name);
  // A REG_SZ or REG_EXPAND_SZ value (the latter expanded) without its terminating zeros.
  std::optional<std::wstring> Text(RegKey root, const std::wstring& path, const wchar_t* name);
  // A REG_DWORD value.
  std::optional<std::uint32_t> Dword(RegKey root, const std::wstring& path, const wchar_t* name);
  bool KeyExists(RegKey root, const std::wstring& path);
  // The root whose Software\Classes holds the key at `path` (below the classes root) in the view
  // Windows merges into HKCR for the shell and COM: the user's when the key is there, since the
  // user's copy of a key hides the machine's with all its values, else the machine's. Nothing when
  // neither holds it. (Wine's HKCR holds the machine's classes only, so the doctor merges itself.)
  std::optional<RegKey> MergedClassesRoot(const std::wstring& path);
  // A text of that merged view, read from the root above only. `fromUser` tells which root it was.
  std::optional<std::wstring> ClassesText(const std::wstring& path, const wchar_t* name, bool* fromUser = nullptr);

  Registry& Adapter() { return registry_; }

 private:
  win32::Win32Registry registry_;
};

inline constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";

}  // namespace torvo::doctor
