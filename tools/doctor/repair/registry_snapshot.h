#pragma once
// Places of the registry saved before a repair changes them and put back when it fails, so that a
// repair either completes or leaves the registry as it was.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registrar/registry.h"
#include "registrar/registry_difference.h"

namespace torvo::doctor {

// A key with everything below it, or one value of a key.
struct RegistryPlace {
  RegKey root = 0;
  std::u16string key;                   // below the root
  std::optional<std::u16string> value;  // a value of the key ("" is the default value); none: the key

  bool operator==(const RegistryPlace&) const = default;
};

// A key as it was: its values and its subkeys, each with everything below it.
struct KeyTree {
  std::vector<std::pair<std::u16string, EncodedValue>> values;
  std::vector<std::pair<std::u16string, KeyTree>> subkeys;
};

// Whether this process may change the place: the key, or the nearest of its parents that exists,
// opens for setting values and creating subkeys. Only a refusal of access answers false.
bool MayWrite(Registry& registry, const RegistryPlace& place);

class RegistrySnapshot {
 public:
  // Reads every place as it is now (a missing key or value is remembered as missing): 0, or the
  // Win32 code of the first read that failed otherwise than by the place missing.
  std::int32_t Take(Registry& registry, const std::vector<RegistryPlace>& places);

  // Puts every place back as it was taken: what is there now is deleted and the saved keys and
  // values written again. Goes on after a failure; 0, or the Win32 code of the first one.
  std::int32_t Restore(Registry& registry) const;

 private:
  struct Saved {
    RegistryPlace place;
    std::optional<KeyTree> key;
    std::optional<EncodedValue> value;
    std::u16string existing;  // a missing key: its nearest parent that exists
  };
  std::vector<Saved> saved_;
};

}  // namespace torvo::doctor
