#include "tools/doctor/repair/registry_snapshot.h"

#include "registrar/scoped_key.h"
#include "registrar/script_walker.h"

namespace torvo::doctor {

namespace {

// RegEnumKeyExW's name buffer: a key name has at most 255 units.
constexpr std::uint32_t kSubkeyNameChars = 256;

std::int32_t ReadTree(Registry& registry, RegKey key, KeyTree& tree) {
  for (std::uint32_t index = 0;; ++index) {
    std::u16string name;
    EncodedValue value;
    const std::int32_t read = registry.EnumValue(key, index, name, &value.type, value.bytes);
    if (read == kErrorNoMoreItems) break;
    if (read != 0) return read;
    tree.values.emplace_back(std::move(name), std::move(value));
  }
  for (std::uint32_t index = 0;; ++index) {
    char16_t name[kSubkeyNameChars];
    const std::int32_t listed = registry.EnumKey(key, index, name, kSubkeyNameChars);
    if (listed == kErrorNoMoreItems) break;
    if (listed != 0) return listed;
    RegKey handle = 0;
    const std::int32_t opened = registry.OpenKey(key, name, kKeyRead, &handle);
    if (opened != 0) return opened;
    const ScopedKey subkey(registry, handle);
    KeyTree child;
    const std::int32_t read = ReadTree(registry, subkey.Get(), child);
    if (read != 0) return read;
    tree.subkeys.emplace_back(name, std::move(child));
  }
  return 0;
}

std::int32_t WriteTree(Registry& registry, RegKey parent, const std::u16string& name, const KeyTree& tree) {
  RegKey handle = 0;
  const std::int32_t created = registry.CreateKey(parent, name.c_str(), kKeyReadWrite, &handle);
  if (created != 0) return created;
  const ScopedKey key(registry, handle);
  for (const auto& [valueName, value] : tree.values) {
    const std::int32_t written = registry.SetValue(key.Get(), valueName.c_str(), value.type, value.bytes.data(),
                                                   static_cast<std::uint32_t>(value.bytes.size()));
    if (written != 0) return written;
  }
  for (const auto& [subkeyName, subtree] : tree.subkeys) {
    const std::int32_t written = WriteTree(registry, key.Get(), subkeyName, subtree);
    if (written != 0) return written;
  }
  return 0;
}

std::u16string ParentKey(const std::u16string& key) {
  const std::size_t separator = key.rfind(u'\\');
  return separator == std::u16string::npos ? u"" : key.substr(0, separator);
}

// The nearest parent of a missing key that exists ("" is the root).
std::u16string ExistingParent(Registry& registry, const RegistryPlace& place) {
  std::u16string parent = ParentKey(place.key);
  for (; !parent.empty(); parent = ParentKey(parent)) {
    RegKey handle = 0;
    if (registry.OpenKey(place.root, parent.c_str(), kKeyRead, &handle) != 0) continue;
    ScopedKey(registry, handle).Close();
    break;
  }
  return parent;
}

}  // namespace

bool MayWrite(Registry& registry, const RegistryPlace& place) {
  for (std::u16string key = place.key;; key = ParentKey(key)) {
    RegKey handle = 0;
    const std::int32_t opened = registry.OpenKey(place.root, key.c_str(), kKeySetValue | kKeyCreateSubKey, &handle);
    if (opened == 0) {
      ScopedKey(registry, handle).Close();
      return true;
    }
    if (opened != kErrorFileNotFound || key.empty()) return opened != kErrorAccessDenied;
  }
}

std::int32_t RegistrySnapshot::Take(Registry& registry, const std::vector<RegistryPlace>& places) {
  saved_.clear();
  for (const RegistryPlace& place : places) {
    Saved saved{place, std::nullopt, std::nullopt, {}};
    RegKey handle = 0;
    const std::int32_t opened = registry.OpenKey(place.root, place.key.c_str(), kKeyRead, &handle);
    if (opened != 0 && opened != kErrorFileNotFound) return opened;
    if (opened != 0 && !place.value) saved.existing = ExistingParent(registry, place);
    if (opened == 0) {
      const ScopedKey key(registry, handle);
      std::int32_t read = 0;
      if (place.value) {
        EncodedValue value;
        read = registry.QueryValue(key.Get(), place.value->c_str(), &value.type, value.bytes);
        if (read == 0) saved.value = std::move(value);
      } else {
        saved.key.emplace();
        read = ReadTree(registry, key.Get(), *saved.key);
      }
      if (read != 0 && read != kErrorFileNotFound) return read;
    }
    saved_.push_back(std::move(saved));
  }
  return 0;
}

std::int32_t RegistrySnapshot::Restore(Registry& registry) const {
  std::int32_t first = 0;
  const auto keep = [&first](std::int32_t code) {
    if (first == 0 && code != kErrorFileNotFound) first = code;
  };
  for (const Saved& saved : saved_) {
    const RegistryPlace& place = saved.place;
    if (!place.value) {
      keep(DeleteKeyTree(registry, place.root, place.key.c_str()));
      if (saved.key) {
        keep(WriteTree(registry, place.root, place.key, *saved.key));
        continue;
      }
      // The parents created since, which are empty again, go as well.
      for (std::u16string parent = ParentKey(place.key); parent.size() > saved.existing.size();
           parent = ParentKey(parent)) {
        if (registry.DeleteKey(place.root, parent.c_str()) != 0) break;
      }
      continue;
    }
    RegKey handle = 0;
    const std::int32_t opened = saved.value ? registry.CreateKey(place.root, place.key.c_str(), kKeyReadWrite, &handle)
                                            : registry.OpenKey(place.root, place.key.c_str(), kKeyReadWrite, &handle);
    keep(opened);
    if (opened != 0) continue;
    const ScopedKey key(registry, handle);
    keep(saved.value ? registry.SetValue(key.Get(), place.value->c_str(), saved.value->type, saved.value->bytes.data(),
                                         static_cast<std::uint32_t>(saved.value->bytes.size()))
                     : registry.DeleteValue(key.Get(), place.value->c_str()));
  }
  return first;
}

}  // namespace torvo::doctor
