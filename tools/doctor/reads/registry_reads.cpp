#include "tools/doctor/reads/registry_reads.h"

#include <cstring>

#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "registrar/scoped_key.h"
#include "tools/doctor/doctor_text.h"

namespace torvo::doctor {

std::optional<EncodedValue> RegistryReader::Value(RegKey root, const std::wstring& path, const wchar_t* name) {
  RegKey handle = 0;
  if (registry_.OpenKey(root, win32::AsUtf16(path.c_str()), kKeyRead, &handle) != 0) return std::nullopt;
  const ScopedKey key(registry_, handle);
  EncodedValue value;
  if (registry_.QueryValue(key.Get(), win32::AsUtf16(name), &value.type, value.bytes) != 0) return std::nullopt;
  return value;
}

std::optional<std::wstring> ValueText(const EncodedValue& value) {
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return std::nullopt;
  std::wstring text(value.bytes.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), value.bytes.data(), text.size() * sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  if (value.type == REG_SZ) return text;
  const std::optional<std::u16string> expanded =
      win32::Win32Environment().ExpandVariables(win32::AsUtf16(text.c_str()));
  if (!expanded) return std::nullopt;
  return std::wstring(win32::AsWide(expanded->c_str()), expanded->size());
}

std::optional<std::wstring> RegistryReader::Text(RegKey root, const std::wstring& path, const wchar_t* name) {
  const std::optional<EncodedValue> value = Value(root, path, name);
  return value ? ValueText(*value) : std::nullopt;
}

std::optional<std::uint32_t> RegistryReader::Dword(RegKey root, const std::wstring& path, const wchar_t* name) {
  const std::optional<EncodedValue> value = Value(root, path, name);
  if (!value || value->type != REG_DWORD || value->bytes.size() != sizeof(std::uint32_t)) return std::nullopt;
  std::uint32_t number = 0;
  std::memcpy(&number, value->bytes.data(), sizeof number);
  return number;
}

bool RegistryReader::KeyExists(RegKey root, const std::wstring& path) {
  RegKey handle = 0;
  if (registry_.OpenKey(root, win32::AsUtf16(path.c_str()), kKeyRead, &handle) != 0) return false;
  ScopedKey key(registry_, handle);
  return true;
}

std::optional<RegKey> RegistryReader::MergedClassesRoot(const std::wstring& path) {
  for (const RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine}) {
    if (KeyExists(root, kClassesKey + path)) return root;
  }
  return std::nullopt;
}

std::optional<std::wstring> RegistryReader::ClassesText(const std::wstring& path, const wchar_t* name, bool* fromUser) {
  const std::optional<RegKey> root = MergedClassesRoot(path);
  if (fromUser != nullptr) *fromUser = root == kHkeyCurrentUser;
  if (!root) return std::nullopt;
  return Text(*root, kClassesKey + path, name);
}

}  // namespace torvo::doctor
