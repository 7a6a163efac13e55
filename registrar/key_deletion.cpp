// Deleting keys: a whole subtree, one key without subkeys, and the test for subkeys.
#include "registrar/scoped_key.h"
#include "registrar/script_walker.h"

namespace torvo {

namespace {

// RegEnumKeyExW's name buffer: a key name has at most 255 units.
constexpr std::uint32_t kSubkeyNameChars = 256;

}  // namespace

std::int32_t DeleteKeyTree(Registry& registry, RegKey parent, const char16_t* name) {
  RegKey handle = 0;
  const std::int32_t opened = registry.OpenKey(parent, name, kKeyReadWrite, &handle);
  if (opened != 0) return opened;
  ScopedKey key(registry, handle);
  char16_t subkey[kSubkeyNameChars];
  // Each pass deletes the first subkey, so index 0 names the next one.
  while (registry.EnumKey(key.Get(), 0, subkey, kSubkeyNameChars) == 0) {
    const std::int32_t deleted = DeleteKeyTree(registry, key.Get(), subkey);
    if (deleted != 0) return deleted;
  }
  key.Close();
  return RemoveRegistryKey(registry, parent, name);
}

std::int32_t RemoveRegistryKey(Registry& registry, RegKey parent, const char16_t* name) {
  return registry.DeleteKey(parent, name);
}

bool KeyHasChildren(Registry& registry, RegKey key) {
  std::uint32_t count = 0;
  if (registry.QuerySubkeyCount(key, &count) != 0) return false;
  return count > 0;
}

}  // namespace torvo
