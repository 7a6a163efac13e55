#pragma once
// The process environment as the protected-place test sees it.
#include <cstdint>

namespace torvo {

class Environment {
 public:
  virtual ~Environment() = default;

  // ExpandEnvironmentStringsW: replaces each %NAME% by the value of NAME (names without regard to
  // case); unset names and a lone '%' stay as written. Writes the null-terminated result into
  // `buffer` when it fits in `size` code units and returns the units of the result with its
  // terminator (more than `size` when it did not fit), or 0 on failure.
  virtual std::uint32_t ExpandVariables(const char16_t* source, char16_t* buffer,
                                                 std::uint32_t size) const = 0;

  // iswspace: whether the platform classifies the code unit as white space.
  virtual bool IsSpace(char16_t unit) const = 0;
};

}  // namespace torvo
