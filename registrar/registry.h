#pragma once
// The registry as the script walker sees it: the calls it makes, with the platform's numbers.
#include <cstdint>
#include <string>
#include <vector>

#include "common/status.h"

namespace torvo {

// A registry key handle (HKEY); 0 is none.
using RegKey = std::uintptr_t;

// The platform's predefined key handles: 32-bit values, sign-extended in a 64-bit handle.
constexpr RegKey PredefinedKey(std::uint32_t bits) {
  return static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(bits)));
}
inline constexpr RegKey kHkeyClassesRoot = PredefinedKey(0x80000000);
inline constexpr RegKey kHkeyCurrentUser = PredefinedKey(0x80000001);
inline constexpr RegKey kHkeyLocalMachine = PredefinedKey(0x80000002);
inline constexpr RegKey kHkeyUsers = PredefinedKey(0x80000003);
inline constexpr RegKey kHkeyPerformanceData = PredefinedKey(0x80000004);
inline constexpr RegKey kHkeyCurrentConfig = PredefinedKey(0x80000005);
inline constexpr RegKey kHkeyDynData = PredefinedKey(0x80000006);

constexpr bool IsPredefinedKey(RegKey key) { return key >= kHkeyClassesRoot && key <= kHkeyDynData; }

// Access masks.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;       // KEY_READ
inline constexpr std::uint32_t kKeyWrite = 0x20006;      // KEY_WRITE
inline constexpr std::uint32_t kKeyReadWrite = 0x2001F;  // KEY_READ | KEY_WRITE

// Registry value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Win32 codes the registry answers with, beyond those of common/status.h.
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorNoMoreItems = 259;
inline constexpr std::int32_t kErrorKeyDeleted = 1018;

// VarUI4FromStr's failures.
inline constexpr HResult kDispTypeMismatch = MakeStatus(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr HResult kDispOverflow = MakeStatus(0x8002000A);      // DISP_E_OVERFLOW

// Every call answers a Win32 code (0 is success) unless said otherwise.
class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExW(parent, name, 0, access, key); a null or empty name opens the parent itself again.
  virtual std::int32_t OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) = 0;
  // RegCreateKeyExW(parent, name, 0, null, REG_OPTION_NON_VOLATILE, access, null, key, null):
  // opens the key, creating it when it is missing.
  virtual std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) = 0;
  // RegSetValueExW(key, name, 0, type, data, bytes); a null or empty name is the default value.
  virtual std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                                std::uint32_t bytes) = 0;
  // RegQueryValueExW(key, name, null, type, data, size), asked again with a larger buffer while the
  // value grows: the value's type and bytes. A null or empty name is the default value; a missing
  // value answers kErrorFileNotFound.
  virtual std::int32_t QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                                  std::vector<std::uint8_t>& data) = 0;
  // RegDeleteValueW; a missing value answers kErrorFileNotFound.
  virtual std::int32_t DeleteValue(RegKey key, const char16_t* name) = 0;
  // RegEnumKeyExW(key, index, name, &size, null, null, null, null): the subkey name at index,
  // null-terminated in `size` units; kErrorNoMoreItems past the last, kErrorMoreData when it does
  // not fit.
  virtual std::int32_t EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t size) = 0;
  // RegEnumValueW(key, index, ...): the name, type and bytes of the value at index;
  // kErrorNoMoreItems past the last.
  virtual std::int32_t EnumValue(RegKey key, std::uint32_t index, std::u16string& name, std::uint32_t* type,
                                 std::vector<std::uint8_t>& data) = 0;
  // RegQueryInfoKeyW asking for the number of subkeys only.
  virtual std::int32_t QuerySubkeyCount(RegKey key, std::uint32_t* count) = 0;
  // RegDeleteKeyExW(parent, name, 0, 0) when Advapi32.dll exports it, else RegDeleteKeyW(parent,
  // name): deletes a subkey that has no subkeys, with its values.
  virtual std::int32_t DeleteKey(RegKey parent, const char16_t* name) = 0;
  // RegCloseKey.
  virtual std::int32_t CloseKey(RegKey key) = 0;
  // VarUI4FromStr(text, 0, 0, value): an HRESULT.
  virtual HResult VarUI4FromStr(const char16_t* text, std::uint32_t* value) = 0;
};

}  // namespace torvo
