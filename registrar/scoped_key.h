#pragma once
// A registry key handle released exactly once through the registry that opened it. The
// predefined root handles are never released.
#include <cstdint>
#include <utility>

#include "registrar/registry.h"

namespace torvo {

class ScopedKey {
 public:
  ScopedKey(Registry& registry, RegKey key) : registry_(registry), key_(key) {}
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() { Close(); }

  RegKey Get() const { return key_; }

  // Releases the handle now: 0, or the Win32 code of the failed release.
  std::int32_t Close() {
    const RegKey key = std::exchange(key_, 0);
    if (key == 0 || IsPredefinedKey(key)) return 0;
    return registry_.CloseKey(key);
  }

 private:
  Registry& registry_;
  RegKey key_;
};

}  // namespace torvo
