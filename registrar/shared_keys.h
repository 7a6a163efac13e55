#pragma once
// 64-bit Windows keeps two views of parts of the registry, one for 64-bit and one for 32-bit
// programs (the 32-bit one below Wow6432Node). The 64-bit and the 32-bit build of the DLL each
// register in their own view; the keys both views share hold one registration for both builds.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "registrar/registry.h"

namespace torvo {

// Whether Windows 7 and later show the key at `path` (a root, "HKCR", "HKLM" or "HKCU", and names
// joined by "\", in any letter case) to 64-bit and 32-bit programs as one key. Below the classes
// (HKCR, and Software\Classes of HKLM and HKCU) every key is shared except CLSID, Interface,
// DirectShow, Media Type and MediaFoundation with everything below them; the rest of
// HKLM\Software is kept apart (Windows shares a few keys there, such as Policies; the scripts
// write none of them); every other key is shared.
bool IsSharedBetweenViews(std::u16string_view path);

// A registry through which an unregistration leaves the keys and values that both views share,
// because the other build is still registered and holds them: deleting such a key or value
// answers success and deletes nothing. Every other call goes to `inner` as it is.
class SharedKeyKeeper : public Registry {
 public:
  explicit SharedKeyKeeper(Registry& inner) : inner_(inner) {}

  std::int32_t OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) override;
  std::int32_t CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) override;
  std::int32_t SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                        std::uint32_t bytes) override {
    return inner_.SetValue(key, name, type, data, bytes);
  }
  std::int32_t QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                          std::vector<std::uint8_t>& data) override {
    return inner_.QueryValue(key, name, type, data);
  }
  std::int32_t DeleteValue(RegKey key, const char16_t* name) override;
  std::int32_t EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t size) override {
    return inner_.EnumKey(key, index, name, size);
  }
  std::int32_t EnumValue(RegKey key, std::uint32_t index, std::u16string& name, std::uint32_t* type,
                         std::vector<std::uint8_t>& data) override {
    return inner_.EnumValue(key, index, name, type, data);
  }
  std::int32_t QuerySubkeyCount(RegKey key, std::uint32_t* count) override {
    return inner_.QuerySubkeyCount(key, count);
  }
  std::int32_t DeleteKey(RegKey parent, const char16_t* name) override;
  std::int32_t CloseKey(RegKey key) override;
  HResult VarUI4FromStr(const char16_t* text, std::uint32_t* value) override {
    return inner_.VarUI4FromStr(text, value);
  }

 private:
  // The path of a key this registry opened, or of a root; empty for any other handle.
  std::u16string PathOf(RegKey key) const;
  // Records the path of a key just opened below `parent`; on success of `opened` only.
  std::int32_t Remember(std::int32_t opened, RegKey parent, const char16_t* name, RegKey key);

  Registry& inner_;
  std::map<RegKey, std::u16string> paths_;
};

}  // namespace torvo
