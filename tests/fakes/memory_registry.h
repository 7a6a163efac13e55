#pragma once
// A registry in memory that behaves like the real one where the script walker relies on it:
// case-insensitive key and value names, the predefined roots, default values, subkey counts,
// deletion of keys without subkeys only, access rights of handles, and injectable failures.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registrar/registry.h"

namespace torvo::fakes {

struct RegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
};

class MemoryRegistry : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  // Setting up and reading back, by a root handle and a path of names joined by "\" ("" is the
  // root itself).
  void AddKey(RegKey root, const std::u16string& path);
  void AddString(RegKey root, const std::u16string& path, const std::u16string& name, const std::u16string& text);
  bool KeyExists(RegKey root, const std::u16string& path) const;
  std::optional<RegistryValue> Value(RegKey root, const std::u16string& path, const std::u16string& name) const;
  // The text of a REG_SZ value without its terminator; nullopt for a missing value or another type.
  std::optional<std::u16string> StringValue(RegKey root, const std::u16string& path, const std::u16string& name) const;

  // Every key and value, one line each, in UTF-8, roots in handle order and names sorted without
  // regard to case: `HKCR\AppID` for a key, `HKCR\AppID\X [] = REG_SZ "text"` for its default value,
  // `... [Name] = REG_DWORD 5`, `REG_BINARY 0aff`, `REG_MULTI_SZ "a" "b" ""`.
  std::vector<std::string> Dump() const;

  // Every key below the roots, as its root and its path of names joined by "\".
  struct KeyPath {
    RegKey root;
    std::u16string path;
  };
  std::vector<KeyPath> Keys() const;

  // Injected failures. The key and everything below it answer kErrorAccessDenied:
  // DenyWrites to opening or creating for writing, writing and deleting values, deleting keys;
  // DenyAccess to every open and create.
  void DenyWrites(RegKey root, const std::u16string& path);
  void DenyAccess(RegKey root, const std::u16string& path);
  // Every SetValue on this key answers `code`.
  void FailSetValue(RegKey root, const std::u16string& path, std::int32_t code);

  // Handles opened and not yet closed; predefined handles passed to CloseKey.
  std::size_t OpenHandles() const { return handles_.size() - roots_.size(); }
  int predefinedCloses = 0;
  int setValueCalls = 0;
  // Calls that change the registry or open a key for changing it (setting values or creating
  // subkeys), whether or not they succeed.
  int writeRequests = 0;

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
  // Decimal digits with blanks around them, as VarUI4FromStr reads them in the neutral locale.
  HResult VarUI4FromStr(const char16_t* text, std::uint32_t* value) override;

  struct Node;

 private:
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t access;
  };

  const Handle* Find(RegKey key) const;
  // The node of an open handle that grants `access`; null, with the Win32 code why, otherwise.
  const Node* Readable(RegKey key, std::uint32_t access, std::int32_t* code) const;
  std::shared_ptr<Node> Resolve(const std::shared_ptr<Node>& from, const std::u16string& path) const;
  std::shared_ptr<Node> Root(RegKey root) const;
  RegKey NewHandle(std::shared_ptr<Node> node, std::uint32_t access);
  std::int32_t Open(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key, bool create);

  std::map<RegKey, std::shared_ptr<Node>> roots_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x1000;
};

}  // namespace torvo::fakes
