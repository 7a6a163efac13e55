#pragma once
// The registry of the running system.
#include "registrar/registry.h"

namespace torvo::win32 {

class Win32Registry : public Registry {
 public:
  std::int32_t OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) override;
  std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) override;
  std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                        std::uint32_t bytes) override;
  std::int32_t QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                          std::vector<std::uint8_t>& data) override;
  std::int32_t DeleteValue(RegKey key, const char16_t* name) override;
  std::int32_t EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t size) override;
  std::int32_t EnumValue(RegKey key, std::uint32_t index, std::u16string& name, std::uint32_t* type,
                         std::vector<std::uint8_t>& data) override;
  std::int32_t QuerySubkeyCount(RegKey key, std::uint32_t* count) override;
  std::int32_t DeleteKey(RegKey parent, const char16_t* name) override;
  std::int32_t CloseKey(RegKey key) override;
  HResult VarUI4FromStr(const char16_t* text, std::uint32_t* value) override;
};

}  // namespace torvo::win32
