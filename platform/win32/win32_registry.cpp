#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <oleauto.h>

#include "platform/win32/wide.h"
#include "registrar/script_tables.h"

namespace torvo::win32 {

// The predefined handles are 32-bit values sign-extended to the handle's size.
static_assert(sizeof(RegKey) == sizeof(HKEY));
static_assert(kHkeyClassesRoot == (sizeof(HKEY) == 8 ? 0xFFFFFFFF80000000u : 0x80000000u));
static_assert(kHkeyDynData - kHkeyClassesRoot == 6);
static_assert(kKeyRead == KEY_READ && kKeyWrite == KEY_WRITE && kKeyReadWrite == (KEY_READ | KEY_WRITE));
static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kKeySetValue == KEY_SET_VALUE);
static_assert(kKeyCreateSubKey == KEY_CREATE_SUB_KEY && kKeyEnumerateSubKeys == KEY_ENUMERATE_SUB_KEYS);
static_assert(kRegSz == REG_SZ && kRegBinary == REG_BINARY && kRegDword == REG_DWORD && kRegMultiSz == REG_MULTI_SZ);
static_assert(kErrorInvalidHandle == ERROR_INVALID_HANDLE && kErrorMoreData == ERROR_MORE_DATA);
static_assert(kErrorNoMoreItems == ERROR_NO_MORE_ITEMS && kErrorKeyDeleted == ERROR_KEY_DELETED);
static_assert(kDispTypeMismatch == DISP_E_TYPEMISMATCH && kDispOverflow == DISP_E_OVERFLOW);
static_assert(VALUE_KIND_STRING == VT_BSTR && VALUE_KIND_MULTI_STRING == (VT_BSTR | VT_BYREF));
static_assert(VALUE_KIND_DWORD == VT_UI4 && VALUE_KIND_BINARY == VT_UI1);

namespace {

HKEY Key(RegKey key) { return reinterpret_cast<HKEY>(key); }

// How often a value that grows between the size query and the read is asked for again.
constexpr int kQueryAttempts = 4;

using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW of the already loaded Advapi32.dll, or null where it is missing.
RegDeleteKeyExFunction FindRegDeleteKeyEx() {
  const HMODULE advapi = ::GetModuleHandleW(L"Advapi32.dll");
  if (advapi == nullptr) return nullptr;
  return reinterpret_cast<RegDeleteKeyExFunction>(reinterpret_cast<void*>(::GetProcAddress(advapi, "RegDeleteKeyExW")));
}

}  // namespace

std::int32_t Win32Registry::OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  HKEY opened = nullptr;
  const LONG result = ::RegOpenKeyExW(Key(parent), AsWide(name), 0, access, &opened);
  if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
  return result;
}

std::int32_t Win32Registry::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  HKEY created = nullptr;
  const LONG result = ::RegCreateKeyExW(Key(parent), AsWide(name), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                        &created, nullptr);
  if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(created);
  return result;
}

std::int32_t Win32Registry::SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                                     std::uint32_t bytes) {
  return ::RegSetValueExW(Key(key), AsWide(name), 0, type, static_cast<const BYTE*>(data), bytes);
}

std::int32_t Win32Registry::QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                                       std::vector<std::uint8_t>& data) {
  DWORD valueType = 0;
  DWORD bytes = 0;
  LONG result = ::RegQueryValueExW(Key(key), AsWide(name), nullptr, &valueType, nullptr, &bytes);
  // Another writer may make the value larger between the two calls: ask again with its new size.
  // A value that still does not fit after the last attempt answers ERROR_MORE_DATA.
  for (int attempt = 0; result == ERROR_SUCCESS && attempt < kQueryAttempts; ++attempt) {
    data.resize(bytes);
    result = ::RegQueryValueExW(Key(key), AsWide(name), nullptr, &valueType, data.data(), &bytes);
    if (result == ERROR_SUCCESS) break;
    if (result == ERROR_MORE_DATA && attempt + 1 < kQueryAttempts) result = ERROR_SUCCESS;
  }
  if (result != ERROR_SUCCESS) return result;
  data.resize(bytes);
  *type = valueType;
  return ERROR_SUCCESS;
}

std::int32_t Win32Registry::DeleteValue(RegKey key, const char16_t* name) {
  return ::RegDeleteValueW(Key(key), AsWide(name));
}

std::int32_t Win32Registry::EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t size) {
  DWORD units = size;
  return ::RegEnumKeyExW(Key(key), index, AsWide(name), &units, nullptr, nullptr, nullptr, nullptr);
}

// Sized by the key's longest value name and largest value; a value that grows between the two calls
// answers ERROR_MORE_DATA.
std::int32_t Win32Registry::EnumValue(RegKey key, std::uint32_t index, std::u16string& name, std::uint32_t* type,
                                      std::vector<std::uint8_t>& data) {
  DWORD longestName = 0;
  DWORD largestData = 0;
  LONG result = ::RegQueryInfoKeyW(Key(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &longestName, &largestData, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  std::u16string buffer(longestName + 1, u'\0');
  data.resize(largestData);
  DWORD units = longestName + 1;
  DWORD bytes = largestData;
  DWORD valueType = 0;
  result = ::RegEnumValueW(Key(key), index, AsWide(buffer.data()), &units, nullptr, &valueType,
                           data.empty() ? nullptr : data.data(), &bytes);
  if (result != ERROR_SUCCESS) return result;
  name.assign(buffer.data(), units);
  data.resize(bytes);
  *type = valueType;
  return ERROR_SUCCESS;
}

std::int32_t Win32Registry::QuerySubkeyCount(RegKey key, std::uint32_t* count) {
  DWORD subkeys = 0;
  const LONG result = ::RegQueryInfoKeyW(Key(key), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr);
  if (result == ERROR_SUCCESS) *count = subkeys;
  return result;
}

// The address is looked up at every deletion: a function's static would keep two handles per load
// (platform/win32/once_per_load.h), and the look-up costs less than the deletion.
std::int32_t Win32Registry::DeleteKey(RegKey parent, const char16_t* name) {
  const RegDeleteKeyExFunction deleteKeyEx = FindRegDeleteKeyEx();
  if (deleteKeyEx != nullptr) return deleteKeyEx(Key(parent), AsWide(name), 0, 0);
  return ::RegDeleteKeyW(Key(parent), AsWide(name));
}

std::int32_t Win32Registry::CloseKey(RegKey key) { return ::RegCloseKey(Key(key)); }

HResult Win32Registry::VarUI4FromStr(const char16_t* text, std::uint32_t* value) {
  ULONG number = 0;
  // MinGW declares the text as writable; the function only reads it.
  const HRESULT result = ::VarUI4FromStr(const_cast<OLECHAR*>(AsWide(text)), 0, 0, &number);
  if (SUCCEEDED(result)) *value = number;
  return result;
}

}  // namespace torvo::win32
