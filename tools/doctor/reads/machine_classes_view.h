#pragma once
// The registry with HKEY_CLASSES_ROOT read as HKLM\Software\Classes: the machine's own class
// registrations, without the user's ones that Windows merges into HKCR.
#include "registrar/registry.h"

namespace torvo::doctor {

class MachineClassesView : public Registry {
 public:
  // Opens HKLM\Software\Classes for reading; when it cannot, HKCR is left as it is.
  explicit MachineClassesView(Registry& registry);
  ~MachineClassesView() override;
  MachineClassesView(const MachineClassesView&) = delete;
  MachineClassesView& operator=(const MachineClassesView&) = delete;

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

 private:
  RegKey Map(RegKey key) const { return key == kHkeyClassesRoot && classes_ != 0 ? classes_ : key; }

  Registry& registry_;
  RegKey classes_ = 0;
};

}  // namespace torvo::doctor
