#pragma once
// A value as the registry holds it, and what the check walk reports where the registry differs
// from a script.
#include <cstdint>
#include <string>
#include <vector>

namespace torvo {

// A value as the registry receives or holds it: its type and its bytes.
struct EncodedValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
};

enum class DifferenceKind {
  kMissingKey,     // a key the script writes is not there (nothing below it is reported)
  kMissingValue,   // a value the script writes is not there
  kDifferentType,  // the value is there with another registry type
  kDifferentData,  // the value is there with the script's type but other data
};

// One place where the registry does not hold what a script writes.
struct RegistryDifference {
  DifferenceKind kind = DifferenceKind::kMissingKey;
  // The key, as the expanded script names it: its root key's token, then the key names, joined by
  // "\" (for example HKCU\Software\Classes\CLSID\{...} in per-user mode). For a value, its key.
  std::u16string keyPath;
  // The value's name; empty for a key's default value and for a missing key.
  std::u16string valueName;
  // The outermost key on the path to the difference that the script's removal deletes (one not
  // marked NoRemove), named as keyPath names keys: what is the script's own there. Empty when every
  // key on the path is kept by the removal (a value of a NoRemove key, a missing NoRemove key).
  std::u16string ownedKeyPath;
  EncodedValue expected;  // a value: what the script writes
  EncodedValue found;     // kDifferentType, kDifferentData: what the registry holds
};

}  // namespace torvo
